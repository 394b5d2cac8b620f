// The item writers, the sections they write and the number formats every
// step relies on.
#include <clocale>
#include <cstdlib>

#include "converter_fixture.h"

namespace {

using Strings = std::vector<std::string>;

TEST_F(ConversionTest, WritersSkipNullAndEmptyValuesButWriteZero) {
  converter.AddItemSetup("omode", "multipage", "first");
  converter.AddItemSetup("omode", "", "empty");
  converter.AddItemSetup("omode", nullptr, "null");
  converter.AddItemJob(1, "page", "0", "a zero");
  converter.AddItemJob(1, "skip", "", "c");
  converter.AddItemEnvironment("EMPTY", "", 0);
  converter.AddItemTask("UserName", nullptr);

  ASSERT_NE(Item("setup", "omode"), nullptr);
  EXPECT_EQ(Item("setup", "omode")->value, "multipage");
  EXPECT_EQ(Item("setup", "omode")->comment, std::optional<std::string>("first"));
  EXPECT_EQ(JobKeys(1), Strings{"page"});
  EXPECT_EQ(JobItem(1, "page")->value, "0");
  EXPECT_EQ(converter.Dictionary().FindSection("environment"), nullptr);
  EXPECT_EQ(converter.Dictionary().FindSection("task"), nullptr);
}

TEST_F(ConversionTest, SecondWriteReplacesValueAndCommentInPlace) {
  converter.AddItemSetup("rsx", "1", "global");
  converter.AddItemSetup("omode", "normal", "global");
  converter.AddItemSetup("rsx", "0.5", nullptr);
  EXPECT_EQ(Keys("setup"), (Strings{"rsx", "omode"}));
  EXPECT_EQ(Item("setup", "rsx")->value, "0.5");
  EXPECT_FALSE(Item("setup", "rsx")->comment.has_value()) << "a null comment replaces the earlier one";
  converter.AddItemSetup("rsx", "2", "");
  EXPECT_EQ(Item("setup", "rsx")->comment, std::optional<std::string>(""));
}

TEST_F(ConversionTest, EnvironmentAndTaskItemsCarryNoComment) {
  converter.AddItemEnvironment("IOB_USE_CFS", "*", 1);
  converter.AddItemTask("DeviceName", "Platesetter 1");
  EXPECT_FALSE(Item("environment", "IOB_USE_CFS")->comment.has_value());
  EXPECT_FALSE(Item("task", "DeviceName")->comment.has_value());
}

TEST_F(ConversionTest, JobSectionsAreKeptApartByNumber) {
  converter.AddItemJob(2, "type", "pdf", "c2");
  converter.AddItemJob(1, "type", "ps", "c1");
  EXPECT_EQ(JobItem(1, "type")->value, "ps");
  EXPECT_EQ(JobItem(2, "type")->value, "pdf");
  std::vector<int> numbers;
  for (auto& section : converter.Dictionary().JobSections()) numbers.push_back(section.first);
  EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
  // Job 3 begins, so job 2's section gives back its spare room; a later
  // write to job 2 still replaces in place.
  converter.AddItemJob(2, "rot", "0", "c2");
  converter.AddItemJob(3, "type", "eps", "c3");
  converter.AddItemJob(2, "type", "tiff", "c2b");
  EXPECT_EQ(JobItem(2, "type")->value, "tiff");
  EXPECT_EQ(JobItem(2, "rot")->value, "0");
  EXPECT_EQ(converter.Dictionary().FindJobSection(2)->Items().front().key, "type");
}

TEST_F(ConversionTest, FormatBoundedRefusesWhatDoesNotFit) {
  EXPECT_EQ(converter.FormatBounded("AddJobInfo", "name", 8, "\"%s\"", "abcde"), "\"abcde\"");
  try {
    converter.FormatBounded("AddJobInfo", "name", 8, "\"%s\"", "abcdef");
    FAIL() << "no refusal";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "CTicket2Dict_msbasetask::AddJobInfo - the value of \"name\" is 8 characters long; at most 7 are "
              "allowed");
  }
  ASSERT_EQ(task.Log().size(), 1u);
  EXPECT_EQ(task.Log()[0].level, 2);
  EXPECT_EQ(task.Log()[0].text, std::string("CTicket2Dict_msbasetask::AddJobInfo - the value of \"name\" is 8 "
                                            "characters long; at most 7 are allowed"));
  const std::string huge(5000, 'x');
  EXPECT_EQ(TestConverter::Format("%s", huge.c_str()), huge) << "unbounded formatting cuts nothing";
}

// A step that formats numbers the way every step does.
class NumberWriter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void AddSetupGlobal(AT_TTicket&, QX_TDict&, QX_TString&, int, int) override {
    AddItemSetup("tenth", Format("%.15g", 0.1).c_str(), nullptr);
    AddItemSetup("tiny", Format("%.15g", 1e-20).c_str(), nullptr);
    AddItemSetup("pair", Format("%.15g,%.15g", 10.0, 20.5).c_str(), nullptr);
    AddItemSetup("printf", Format("%.3f", 0.25).c_str(), nullptr);  // through vsnprintf
  }
};

TEST_F(ConversionTest, NumbersUseAPointWhateverTheLocaleWasBefore) {
  const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (german == nullptr) {
    if (std::getenv("T2D_REQUIRE_LOCALE")) FAIL() << "the locale de_DE.UTF-8 is not installed";
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed";
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  ASSERT_STREQ(probe, "0,5") << "the test locale writes a decimal comma";

  NumberWriter c(task);
  QX_TDict master = EmptyMaster();
  QX_TArray jobs;
  c.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, "");
  // The converter leaves the process's locale as the host set it.
  const std::string after = std::setlocale(LC_NUMERIC, nullptr);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(after.rfind("de_DE", 0), 0u) << after;
  const CParamSection* setup = c.Dictionary().FindSection("setup");
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->Find("printf")->value, "0.250");
  EXPECT_EQ(setup->Find("tenth")->value, "0.1");
  EXPECT_EQ(setup->Find("tiny")->value, "1e-20");
  EXPECT_EQ(setup->Find("pair")->value, "10,20.5");
}

TEST_F(ConversionTest, TaskSectionHoldsItsThreeItemsUnchanged) {
  ticket.SetDeviceName("Plate setter / Line 2 ");
  ticket.SetTaskID("T-17");
  ticket.SetUserInfo(QX_TUserInfo("Alice Example"));
  converter.AddTask2Dict(ticket);
  EXPECT_EQ(Keys("task"), (Strings{"DeviceName", "TaskID", "UserName"}));
  EXPECT_EQ(Item("task", "DeviceName")->value, "Plate setter / Line 2 ");
  EXPECT_EQ(Item("task", "TaskID")->value, "T-17");
  EXPECT_EQ(Item("task", "UserName")->value, "Alice Example");
}

TEST_F(ConversionTest, TaskSectionLeavesOutAnEmptyUserName) {
  ticket.SetDeviceName("Platesetter 1");
  ticket.SetTaskID("T-17");
  converter.AddTask2Dict(ticket);
  EXPECT_EQ(Keys("task"), (Strings{"DeviceName", "TaskID"}));
}

}  // namespace
