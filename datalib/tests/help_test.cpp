// The manual's pages by help id, in the "help" folder the build puts beside the programs.
#include "datalib/help.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/rt/process.h"

using namespace ov;

TEST(Help, PagesAreFoundByHelpIdWithTheContentsForTheRest) {
  const std::string folder = files::HelpFolder();
  ASSERT_EQ(folder, rt::programFolder() + "/help") << "the build puts the manual beside the programs";
  struct Case {
    const char* id;
    const char* page;
  } cases[] = {
      {"", "index.html"},
      {"Main", "Main.html"},
      {"UpdateScripting", "UpdateScripting.html"},
      {"UpdateScripting:GetAction", "UpdateScripting.html"},  // a window of the procedure
      {"BrowseScriptWizards", "BrowseScriptWizards.html"},
      {"NoSuchWindow", "index.html"},
      {"../help/Main", "index.html"},  // an id is a name, never a path
      {"/etc/passwd", "index.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    const std::string page = files::HelpPage(c.id);
    EXPECT_EQ(page, folder + "/" + c.page);
    EXPECT_TRUE(std::filesystem::is_regular_file(page));
  }
}
