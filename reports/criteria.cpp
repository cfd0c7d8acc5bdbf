#include "reports/criteria.h"

#include "datalib/config.h"
#include "datalib/files.h"
#include "datalib/globals.h"
#include "platform/rt/ini.h"
#include "platform/rt/text.h"

namespace ov::reports {

CriteriaGlobals GLO;
RangeGlobals RANGE;
TmpGlobals TMP;
String<80> ReportTitle;

namespace {

constexpr std::string_view kPositionIni = ".\\POSITION.INI";
constexpr std::string_view kPreserved = "Preserved";

}  // namespace

void clearCriteria() {
  GLO = CriteriaGlobals{};
  RANGE = RangeGlobals{};
  TMP = TmpGlobals{};
  ReportTitle.clear();
}

void applyCriteriaDefaults(int32_t today) {
  if (TMP.DateFrom == 0) TMP.DateFrom = today;
  if (TMP.DateTo == 0) TMP.DateTo = today + 30;
  if (TMP.OrderSelect.isBlank()) TMP.OrderSelect = "Date";
  if (TMP.DateSelect.isBlank()) TMP.DateSelect = "All";
  if (TMP.CategorySelect.isBlank()) TMP.CategorySelect = "All";
}

std::string orderNameOf(std::string_view orderSelect) {
  const std::string o = rt::CLIP(orderSelect);
  if (o == "Category") return "Sch:KeyCategory";
  if (o == "Category/Date") return "Sch:KeyCategoryDate";
  if (o == "Description") return "Sch:KeyTaskName";
  if (o == "Task Type") return "Sch:KeyTaskType";
  if (o == "Adv. Warn") return "Sch:KeyAdvanced";
  return "Sch:KeyDate";
}

void acceptCriteria() {
  files::PUTCONFIG("RIFO", files::REPORT.IncludeFutureOccurances ? "1" : "0");
  savePreservedCriteria();  // the answers as the user left them
  GLO.ReportFilter.clear();
  GLO.ReportOrder = "Sch:KeyDate";
  if (TMP.CategorySelect == "Selected") {
    GLO.ReportFilter = "Sch:Category=Glo:Category";
    GLO.Category = TMP.CategorySelected.view();
  }
  if (!(TMP.DateSelect == "Selected")) {
    files::REPORT.IncludeFutureOccurances = 0;
  } else {
    if (!GLO.ReportFilter.isBlank())
      GLO.ReportFilter = "Sch:Category=Glo:Category AND Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To";
    else
      GLO.ReportFilter = "Sch:Date>=RANGE:Date:From AND Sch:Date<=RANGE:Date:To";
    RANGE.Date.From = TMP.DateFrom;
    RANGE.Date.To = TMP.DateTo;
  }
  GLO.ReportOrder = orderNameOf(TMP.OrderSelect.view());
}

void cancelCriteria() {
  GLO.ReportFilter.clear();
  GLO.ReportOrder.clear();
}

bool criteriaCancelled() { return GLO.ReportOrder.isBlank() && GLO.ReportFilter.isBlank(); }

db::Key scheduleKeyOf(std::string_view orderName, bool workFile) {
  const std::string o = rt::CLIP(orderName);
  if (o == "Sch:KeyTaskType") return workFile ? files::SCW_KeyTaskType : files::SCH_KeyTaskType;
  if (o == "Sch:KeyCategoryDate") return workFile ? files::SCW_KeyCategoryDate : files::SCH_KeyCategoryDate;
  if (o == "Sch:KeyCategory") return workFile ? files::SCW_KeyCategory : files::SCH_KeyCategory;
  if (o == "Sch:KeyTaskName") return workFile ? files::SCW_KeyTaskName : files::SCH_KeyTaskName;
  if (o == "Sch:KeyAdvanced") return workFile ? files::SCW_KeyAdvanced : files::SCH_KeyAdvanced;
  return workFile ? files::SCW_KeyDate : files::SCH_KeyDate;
}

std::string workFileFilter(std::string_view filter) {
  std::string f = rt::UPPER(filter.substr(0, std::min<size_t>(filter.size(), 255)));
  for (size_t at = f.find("SCH:"); at != std::string::npos; at = f.find("SCH:")) f[at + 2] = 'W';
  return rt::CLIP(f);
}

CriteriaValues currentCriteriaValues() {
  CriteriaValues v;
  v.Category = GLO.Category.view();
  v.From = RANGE.Date.From;
  v.To = RANGE.Date.To;
  return v;
}

void bindCriteria(rt::Bindings& names, CriteriaValues& values) {
  names.bind("GLO:Category", values.Category);
  names.bind("RANGE:Date:From", values.From);
  names.bind("RANGE:Date:To", values.To);
}

void loadPreservedCriteria() {
  auto get = [](std::string_view key) { return rt::GETINI(kPreserved, key, "", kPositionIni); };
  TMP.CategorySelect = get("TMP:CategorySelect");
  TMP.CategorySelected = get("TMP:CategorySelected");
  TMP.DateFrom = static_cast<int32_t>(rt::textToNumber(get("TMP:DateFrom")));
  TMP.DateSelect = get("TMP:DateSelect");
  TMP.DateTo = static_cast<int32_t>(rt::textToNumber(get("TMP:DateTo")));
  TMP.OrderSelect = get("TMP:OrderSelect");
  ReportTitle = get("ReportTitle");
  files::REPORT.IncludeFutureOccurances = rt::textToNumber(get("REPORT:IncludeFutureOccurances")) != 0;
}

void savePreservedCriteria() {
  (void)rt::putIniValues(kPreserved,
                         {{"TMP:CategorySelect", TMP.CategorySelect.str()},
                          {"TMP:CategorySelected", TMP.CategorySelected.str()},
                          {"TMP:DateFrom", std::to_string(TMP.DateFrom)},
                          {"TMP:DateSelect", TMP.DateSelect.str()},
                          {"TMP:DateTo", std::to_string(TMP.DateTo)},
                          {"TMP:OrderSelect", TMP.OrderSelect.str()},
                          {"ReportTitle", ReportTitle.str()},
                          {"REPORT:IncludeFutureOccurances", files::REPORT.IncludeFutureOccurances ? "1" : "0"}},
                         kPositionIni);  // best effort: a lost preset costs the user a retyped range
}

}  // namespace ov::reports
