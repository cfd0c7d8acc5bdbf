// The bar graph of an explorer list's current column: gathering the categories from the rows,
// and the window that shows them.
#include <QImage>

#include <filesystem>
#include <memory>

#include <unistd.h>

#include "platform/rt/ini.h"
#include "platform/ui/event.h"
#include "platform/ui/host.h"
#include "platform/ui/progress_window.h"
#include "platform/ui/prop.h"
#include "platform/ui/runtime.h"
#include "winclasses/explore_class.h"
#include "winclasses/explore_graph.h"
#include "winclasses/explore_preferences.h"

namespace ov::winclasses {

namespace {

// The graph's colours and legend font from the explorer's preferences. The legend is larger than
// the preferences window's default when no size was ever chosen.
GraphPicture pictureSettings(const std::string& iniFile) {
  GraphPicture pic;
  ExplorePreferencesData prefs;
  prefs.read(iniFile);
  for (int i = 0; i < kGraphColours; ++i) {
    int32_t colour = -1;
    if (!ExploreClass::ColorStringToLong(prefs.colors[static_cast<size_t>(i)], colour)) colour = -1;
    pic.colours[static_cast<size_t>(i)] = colour;
  }
  pic.fontName = prefs.fontName.empty() ? "Arial" : prefs.fontName;
  pic.fontSize = static_cast<int>(std::strtol(rt::GETINI("ExplorePreferences", "FontSize", "12", iniFile).c_str(), nullptr, 10));
  pic.fontColour = prefs.fontColor;
  pic.fontStyle = prefs.fontStyle;
  return pic;
}

class GraphWindow : public ui::WindowManager {
 public:
  GraphWindow(ExploreClass& explorer, std::vector<GraphCategory>& categories, bool amounts, GraphPicture picture)
      : ui::WindowManager("ExploreGraph"), m_explorer(explorer), m_categories(categories), m_amounts(amounts),
        m_picture(std::move(picture)) {}

  ui::Level Init() override {
    ui::Window& w = window();
    w.setTitle(m_picture.heading);
    w.at(-1, -1, 400, 240).resizable();
    m_image = w.image("?Graph", "").at(0, 0, 400, 218).feq();
    m_preferences = w.button("?Preferences", "Pre&ferences").at(4, 222, 60, 14).tip("Change Colors and/or Font").feq();
    m_clipboard = w.button("?ToClipboard", "&To Clipboard").at(68, 222, 60, 14).tip("Copies an Window Image to the ClipBoard").feq();
    CancelControl = w.button("?Close", "Cl&ose").at(336, 222, 60, 14).feq();
    Open();
    draw();
    return ui::Level::Benign;
  }

  ui::Level TakeAccepted() override {
    const int feq = ui::ACCEPTED();
    if (feq == m_preferences) {
      m_explorer.Preferences();
      const std::string heading = m_picture.heading, filter = m_picture.filterLine;
      m_picture = pictureSettings(m_explorer.IniFileName);
      m_picture.heading = heading;
      m_picture.filterLine = filter;
      draw();
      return ui::Level::Notify;
    }
    if (feq == m_clipboard) {
      m_explorer.GraphOutput();
      return ui::Level::Notify;
    }
    return ui::WindowManager::TakeAccepted();
  }

  ui::Level Kill() override {
    if (Dead) return ui::Level::Notify;
    std::error_code ec;
    if (!m_file.empty()) std::filesystem::remove(m_file, ec);
    m_explorer.graphImage.reset();
    return ui::WindowManager::Kill();
  }

 private:
  // The picture is drawn into a file that the window's image shows.
  void draw() {
    ui::Window& w = window();
    auto image = std::make_shared<QImage>(w.dluToPxX(400), w.dluToPxY(218), QImage::Format_RGB32);
    drawBarGraph(*image, m_categories, m_amounts, m_picture);
    m_explorer.graphImage = image;
    static int serial = 0;
    std::error_code ec;
    if (!m_file.empty()) std::filesystem::remove(m_file, ec);
    m_file = (std::filesystem::temp_directory_path(ec) /
              ("ov-graph-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".png"))
                 .string();
    if (image->save(QString::fromStdString(m_file), "PNG")) w.setProp(m_image, ui::Prop::Text, m_file);
  }

  ExploreClass& m_explorer;
  std::vector<GraphCategory>& m_categories;
  bool m_amounts;
  GraphPicture m_picture;
  std::string m_file;
  int m_image = 0, m_preferences = 0, m_clipboard = 0;
};

}  // namespace

void ExploreClass::AddGraphCategory(std::string_view name, double amount) { addGraphCategory(QSel, name, amount); }

void ExploreClass::GraphOutput() {
  if (graphImage && !graphImage->isNull()) ui::host().setClipboardImage(*graphImage);
}

void ExploreClass::ShowBarGraph() {
  ui::SETKEYCODE(0);
  QSel.clear();
  XPGQ* column = columnAt(CurrentCol);
  if (!column) return;
  const XPGQ col = *column;
  const std::string picture = col.Picture.empty() ? "@S20" : col.Picture;
  const bool amounts = col.GraphType == 2;
  ui::ListQueue* q = dataQueue();
  const long total = exportTotal();
  std::string filter;
  bool fromView = ListType == 1 && BC && q;
  if (fromView) {
    filter = BC->view().filter();
    BC->view().Reset();
  }

  // Gathering, a row per step; Cancel asks whether to give up, and the rows read so far count.
  long rows = 0;
  bool tooMany = false, atEnd = false, givenUp = false;
  auto step = [&](ui::ProgressWindow& w) {
    if (fromView) {
      if (BC->view().Next() != rt::Err::None) {
        atEnd = true;
        return ui::ProgressWindow::Step::Done;
      }
      BC->SetQueueRecord();
    } else {
      if (!q || rows >= q->records()) {
        atEnd = true;
        return ui::ProgressWindow::Step::Done;
      }
      (void)q->get(static_cast<int>(rows + 1));
    }
    GetStringForGraph(col.QNos, picture);
    ++rows;
    if (fromView) w.setText("Record=" + std::to_string(rows) + " - " + filter);
    if (total > 0) w.setProgress(rows * 100 / total, 100);
    if (QSel.size() > kMaxGraphCategories) {
      tooMany = true;
      return ui::ProgressWindow::Step::Done;
    }
    return ui::ProgressWindow::Step::More;
  };
  while (!atEnd && !tooMany && !givenUp) {
    ui::ProgressWindow progress("Progress...", step);
    if (progress.Run() == ui::RequestCancelled) {
      ui::BEEP(48);
      givenUp = ui::MESSAGE("Are you sure you want to quit this Graphing Procedure?", "Explore", ui::Icon::Question,
                            ui::BUTTON::Yes | ui::BUTTON::No) == ui::BUTTON::Yes;
    }
  }
  if (fromView) BC->Reset(true);  // the view and the buffers were moved by the gathering
  if (tooMany) {
    ui::MESSAGE("Too complex to graph - exceeds max number of categories: " + std::to_string(kMaxGraphCategories) +
                    " - '" + col.Description,
                "Explore");
  } else if (!givenUp && QSel.empty()) {
    ui::MESSAGE("There are no categories to Graph of '" + col.Description + "'", "Explore");
  } else if (!givenUp && QSel.size() == 1) {
    ui::MESSAGE("There is only one category to Graph of '" + col.Description + "'", "Explore");
  } else if (!givenUp) {
    computeGraphPercents(QSel, amounts, rows);
    GraphPicture pic = pictureSettings(IniFileName);
    pic.heading = std::to_string(QSel.size()) + " Categories of Field: " + col.Description;
    if (ListType == 1) pic.filterLine = "Filter: " + filter;
    GraphWindow window(*this, QSel, amounts, pic);
    (void)window.Run();
  }
  QSel.clear();
}

}  // namespace ov::winclasses
