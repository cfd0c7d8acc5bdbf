#include "datalib/globals.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/rt/text.h"

using namespace ov::files;

TEST(Globals, ClearBlanksSettingsAndRestoresFileNames) {
  EMAIL.HOST = "smtp.example.org";
  CLIP.MAXENTRIES = 9;
  GLO.EXPORTNAME = "other.txt";
  GLO.USER = "ann";
  clearGlobals();
  EXPECT_TRUE(EMAIL.HOST.isBlank());
  EXPECT_EQ(CLIP.MAXENTRIES, 0);
  EXPECT_TRUE(GLO.USER.isBlank());
  EXPECT_EQ(GLO.EXPORTNAME.str(), "Export.txt");
  EXPECT_EQ(GLO.SCHEDULEWORKFILENAME.str(), "ovWrkFil");
  EXPECT_EQ(GLO.SYNCOVUSDFILENAME.str(), "SyncOVUSD.TPS");
  EXPECT_EQ(GLO.MASTERFILEOWNER.size(), 9u);
}

TEST(Globals, BoundByNameIgnoringCase) {
  std::set<std::string> names;
  for (const GlobalEntry& g : globalEntries())
    EXPECT_TRUE(names.insert(ov::rt::UPPER(g.desc.name)).second) << g.desc.name;
  const GlobalEntry* host = findGlobal("email:host");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->address, static_cast<void*>(&EMAIL.HOST));
  ov::rt::setFieldText(host->address, host->desc, "mail.example.org");
  EXPECT_EQ(EMAIL.HOST.str(), "mail.example.org");
  const GlobalEntry* rifo = findGlobal("REPORT:INCLUDEFUTUREOCCURANCES");
  ASSERT_NE(rifo, nullptr);
  EXPECT_EQ(rifo->address, static_cast<void*>(&REPORT.IncludeFutureOccurances));
  EXPECT_EQ(findGlobal("EMAIL:NOPE"), nullptr);
}
