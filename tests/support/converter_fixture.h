// The shared ground of the converter's tests: a task, a ticket, a converter
// whose steps are callable, services registered in the middleware, and
// readers of the output dictionary and the task log.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fake_services.h"
#include "localname2unc.h"
#include "qxm_service.h"
#include "ticket2dict_msbasetask.h"

// The converter with its protected steps, writers and fields made public.
class TestConverter : public CTicket2Dict_msbasetask {
 public:
  using CTicket2Dict_msbasetask::CTicket2Dict_msbasetask;
  using CTicket2Dict_msbasetask::AddCIPOptions2Dict;
  using CTicket2Dict_msbasetask::AddEnvironment2Dict;
  using CTicket2Dict_msbasetask::AddExtraOptions;
  using CTicket2Dict_msbasetask::AddItemEnvironment;
  using CTicket2Dict_msbasetask::AddItemJob;
  using CTicket2Dict_msbasetask::AddItemSetup;
  using CTicket2Dict_msbasetask::AddItemTask;
  using CTicket2Dict_msbasetask::AddJob2Dict;
  using CTicket2Dict_msbasetask::AddJobInfo;
  using CTicket2Dict_msbasetask::AddJobInfo_noPreviews;
  using CTicket2Dict_msbasetask::AddJobInfo_previewsOnly;
  using CTicket2Dict_msbasetask::AddJobInfoGlobal;
  using CTicket2Dict_msbasetask::AddPositionInfo;
  using CTicket2Dict_msbasetask::AddPositionInfo_setButNoDistortion;
  using CTicket2Dict_msbasetask::AddSetup;
  using CTicket2Dict_msbasetask::AddSetup2Dict;
  using CTicket2Dict_msbasetask::AddSetup_begin;
  using CTicket2Dict_msbasetask::AddSetup_end;
  using CTicket2Dict_msbasetask::AddSetup_middle;
  using CTicket2Dict_msbasetask::AddSetupGlobal;
  using CTicket2Dict_msbasetask::AddTask2Dict;
  using CTicket2Dict_msbasetask::DoCIPParams;
  using CTicket2Dict_msbasetask::Fail;
  using CTicket2Dict_msbasetask::Format;
  using CTicket2Dict_msbasetask::FormatBounded;
  using CTicket2Dict_msbasetask::getFlavorName;
  using CTicket2Dict_msbasetask::Ink2IniEntry;
  using CTicket2Dict_msbasetask::dispatcherVersion;
  using CTicket2Dict_msbasetask::masterName;
  using CTicket2Dict_msbasetask::pageFlag1;
  using CTicket2Dict_msbasetask::pageFlag2;
  using CTicket2Dict_msbasetask::pageFlag3;
  using CTicket2Dict_msbasetask::pageFlag4;
  using CTicket2Dict_msbasetask::pageList;
};

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);  // null value: unset
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool hadValue_;
  std::string oldValue_;
};

class ConversionTest : public ::testing::Test {
 protected:
  ConversionTest();
  ~ConversionTest() override;

  // A fresh scripted service on `server` ("" is the default server).
  std::shared_ptr<FakeService> Serve(const std::string& service, const std::string& server = "");
  // The shared folders the environment step sees (pairs of local folder and
  // share), replacing the earlier ones.
  void SetShares(const std::vector<std::pair<std::string, std::string>>& table);

  // Items of a section; the empty vector when the section is missing.
  std::vector<CParamItem> Items(const std::string& section) const;
  std::vector<CParamItem> JobItems(int jobNumber) const;
  // Keys of a section in order.
  std::vector<std::string> Keys(const std::string& section) const;
  std::vector<std::string> JobKeys(int jobNumber) const;
  // One item; null when missing.
  const CParamItem* Item(const std::string& section, const std::string& key) const;
  const CParamItem* JobItem(int jobNumber, const std::string& key) const;
  // Texts of the task log in order, and the levels.
  std::vector<std::string> LogTexts() const;
  std::vector<int> LogLevels() const;

  // A master dictionary with empty "Options", "Info" and "Jobs".
  static QX_TDict EmptyMaster();

  TW_TTask task;
  AT_TTicket ticket;
  TestConverter converter{task};
  // The test's RIP servers and shared folders, bound to the test's thread
  // while the test runs.
  QXM_TRegistry servers;
  LocalName2UNC_TShares shares;

 private:
  ScopedEnv noServer_{"QX_SERVER", nullptr};
  QXM_TRegistry::Binding serversBinding_{servers};
  LocalName2UNC_TShares::Binding sharesBinding_{shares};
};
