#include "converter_fixture.h"

TEST_F(ConversionTest, TaskSectionIsWritten) {
  ticket.SetDeviceName("Platesetter 1");
  QX_TDict master = EmptyMaster();
  QX_TArray jobs;
  converter.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, "");
  EXPECT_EQ(Keys("task"), (std::vector<std::string>{"DeviceName"}));
}
