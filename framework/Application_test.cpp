// The application object: the title rule, the full-stop rule and the message pump.
#include "framework/Application.h"

#include "text/TextConvert.h"

#include <gtest/gtest.h>

TEST(ApplicationTest, TitleRule) {
  // Test tuple <executable path, title>
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"C:\\Program Files\\Agent\\SchedulerAgent.exe", u"Scheduleragent"},
      {u"/opt/scheduler-agent/SchedulerAgent", u"Scheduleragent"},
      {u"/tmp/x/host_demo.v2.exe", u"host_demo"},
      {u"ÄBC.exe", u"Äbc"},
      {u"D:\\NOEXT", u"Noext"},
  };
  for (const auto& [path, title] : cases) {
    SCOPED_TRACE(Utf16ToUtf8(path));
    EXPECT_EQ(TApplication::TitleFromPath(path), title);
  }
}

TEST(ApplicationTest, FullStopRuleOfShowException) {
  // A letter or digit gets one; "!", ")" and "." itself sort before "." or equal it.
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"Stream read error", u"Stream read error."},
      {u"Code 5", u"Code 5."},
      {u"Stop!", u"Stop!"},
      {u"(list)", u"(list)"},
      {u"Done.", u"Done."},
      {u"", u""},
      {u"ends in colon:", u"ends in colon:."},
  };
  for (const auto& [message, shown] : cases) {
    SCOPED_TRACE(Utf16ToUtf8(message));
    EXPECT_EQ(TApplication::MessageWithFullStop(message), shown);
  }
}

TEST(ApplicationTest, EmptyQueueReturnsAtOnceAndKeepsTheFlag) {
  TApplication app;
  app.Initialize();
  app.ProcessMessages();
  EXPECT_FALSE(app.Terminated());
}

TEST(ApplicationTest, TerminateSetsTheFlagOnlyWhenTheQuitIsTaken) {
  TApplication app;
  app.Terminate();
  EXPECT_FALSE(app.Terminated());
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated()); // never cleared
}
