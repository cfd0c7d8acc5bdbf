// What the mail sender's tests share: a data folder with a fixed clock and date forms, the
// scripted interaction host, the recording sendmail, and helpers that store messages and contacts.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "datalib/files.h"
#include "datalib/globals.h"
#include "datalib/queues.h"
#include "datalib/records.h"
#include "datalib/startup.h"
#include "datalib/tests/data_folder.h"
#include "mapisend/send_message.h"
#include "mapisend/tessel_log.h"
#include "platform/libs/mapi/tests/recording_sendmail.h"
#include "platform/rt/date_time.h"
#include "platform/rt/ini.h"
#include "platform/rt/picture.h"
#include "platform/ui/testing/scripted_host.h"

namespace ov::mapisend::test {

// 6 December 2026 (a Sunday), 9:05:00.
inline const int32_t kToday = rt::DATE(12, 6, 2026);
inline const int32_t kNineOFive = (9 * 3600 + 5 * 60) * 100 + 1;

class MailFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_formats = rt::systemFormats();
    rt::setSystemFormats({"MM/dd/yy", "dddd, MMMM d, yyyy", "HH:mm", "HH:mm:ss"});
    rt::setTestClock(kToday, kNineOFive);
    files::clearGlobals();
    files::clearRecordBuffers();
    files::VARQ.FREE();
    files::FORMAT.DATE = "d10";  // 2026/12/06
    files::EMAIL.SENDER = "me@example.org";
    files::EMAIL.SENDERNAME = "Mia Example";
    files::setDataPathGlobals(m_data.data().string());
    ExitCode = 0;
    SendPauseMs = 0;
  }
  void TearDown() override {
    closeEventLog();
    rt::setSystemFormats(m_formats);
    rt::clearTestClock();
  }

  // Stores a message; `fill` sets its fields on a cleared record with the given number.
  void addMessage(int32_t id, const std::function<void(files::MessageRec&)>& fill) {
    ASSERT_EQ(files::testing::openOrCreate(files::MESSAGES), rt::Err::None);
    files::MESSAGES.clear();
    files::M_.EmailID = id;
    files::M_.MailType = "E-mail";
    fill(files::M_);
    ASSERT_EQ(files::MESSAGES.add(), rt::Err::None) << rt::ERROR();
    ASSERT_EQ(files::MESSAGES.close(), rt::Err::None);
  }
  // Stores a contact.
  void addContact(int32_t id, const std::function<void(files::ContactRec&)>& fill) {
    ASSERT_EQ(files::testing::openOrCreate(files::CONTACT), rt::Err::None);
    files::CONTACT.clear();
    files::C_.ClientID = id;
    fill(files::C_);
    ASSERT_EQ(files::CONTACT.add(), rt::Err::None) << rt::ERROR();
    ASSERT_EQ(files::CONTACT.close(), rt::Err::None);
  }
  // The stored message `id` (its LastDateSent, say).
  files::MessageRec storedMessage(int32_t id) {
    EXPECT_EQ(files::testing::openOrCreate(files::MESSAGES), rt::Err::None);
    files::M_.EmailID = id;
    EXPECT_EQ(files::MESSAGES.get(files::M_KeyEmailID), rt::Err::None);
    files::MessageRec copy = files::M_;
    (void)files::MESSAGES.close();
    return copy;
  }
  // A key of ".\TESSEL.LOG".
  static std::string logged(std::string_view key, std::string_view section = kLogSection) {
    return rt::GETINI(section, key, "<none>", kTesselLog);
  }
  // The event log's lines.
  std::vector<std::string> eventLines() const;

  files::testing::DataFolder m_data;
  ui::test::ScriptedHost m_host;
  mapi::testing::RecordingSendmail m_sendmail;

 private:
  rt::SystemFormats m_formats;
};

}  // namespace ov::mapisend::test
