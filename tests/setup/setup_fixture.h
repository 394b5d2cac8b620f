// Ground of the setup section's tests: a ticket with one master "M1", the
// jobs the task works for, a configuration server answering by path, an
// element server answering "jinfo_cpp" and "ij", and readers of the setup
// items as (key, value, comment).
#pragma once

#include <initializer_list>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "converter_fixture.h"

namespace setup_test {

using Written = std::tuple<std::string, std::string, std::string>;  // key, value, comment ("(none)": null)

inline QX_TDict Dict(std::initializer_list<std::pair<const char*, QX_TAny>> entries) {
  QX_TDict dict;
  for (auto& entry : entries) dict.Add(entry.first, entry.second);
  return dict;
}

inline QX_TTree Tree(std::initializer_list<std::pair<const char*, QX_TAny>> entries) {
  QX_TTree tree;
  for (auto& entry : entries) tree.Add(entry.first, entry.second);
  return tree;
}

inline QX_TArray Array(std::initializer_list<QX_TAny> values, int lowerBound = 0) {
  QX_TArray array(lowerBound);
  for (auto& value : values) array.Append(value);
  return array;
}

inline QX_TDict Job(const char* jobName, const char* fileSpec = "/in/job.pdf") {
  return Dict({{"JobName", QX_TString(jobName)}, {"FileSpec", QX_TURL(QX_TString(fileSpec))}});
}

class SetupTest : public ConversionTest {
 protected:
  SetupTest() {
    ticket.SetDeviceName("PS1");
    ticket.SetShortID("A12");
    converter.masterName = "M1";
    SetMaster(Dict({{"Options", QX_TDict()}, {"Info", QX_TDict()}, {"Jobs", Array({Job("brochure.pdf")})}}));
    WorksFor({"J1"});
  }

  // The ticket's masters: "Order" ["M1"] and "M1" = `master`.
  void SetMaster(const QX_TDict& master) {
    master_ = master;
    QX_TDict parameters = ticket.Configuration();
    parameters.Add("Masters", Dict({{"Order", Array({QX_TString("M1")})}, {"M1", master}}));
    ticket.SetConfiguration(parameters);
  }
  QX_TDict& Master() { return master_; }
  // Changes one entry of the master's "Options" (and of the ticket's copy).
  void Option(const char* key, const QX_TAny& value) {
    QX_TDict options = T2D_CAST(QX_TDict, master_["Options"]);
    options.Add(key, value);
    master_.Add("Options", options);
    SetMaster(master_);
  }
  void SetInfo(const QX_TDict& info) {
    master_.Add("Info", info);
    SetMaster(master_);
  }
  void SetJobs(const QX_TArray& jobs) {
    master_.Add("Jobs", jobs);
    SetMaster(master_);
  }
  QX_TDict Options() const { return T2D_CAST(QX_TDict, master_["Options"]); }

  // "ResultsFromPreviousTask" / "WorksForJobs" with these job ids.
  void WorksFor(const std::vector<std::string>& jobIds) {
    QX_TDict worksForJobs;
    for (auto& id : jobIds) worksForJobs.Add(id, QX_TString(""));
    QX_TDict work = ticket.WorkDictionary();
    work.Add("ResultsFromPreviousTask", Dict({{"WorksForJobs", worksForJobs}}));
    ticket.SetWorkDictionary(work);
  }

  // The configuration file server: "[]" answers the value at a path, and
  // fails for a path it doesn't hold.
  std::shared_ptr<FakeService> ServeConfig(std::map<std::string, QX_TAny> values = {}) {
    auto cfs = Serve("CFS");
    auto lookup = [values](const std::vector<QX_TAny>& arguments) -> QX_TAny {
      const std::string path = T2D_CAST(QX_TString, arguments.at(0)).Str();
      auto it = values.find(path);
      if (it == values.end()) throw QXM_EException("CFS: no value at " + path);
      return it->second;
    };
    cfs->On("[]", lookup);
    return cfs;
  }

  // The element server: "jinfo_cpp" answers `jobInfo` by job id, "ij"
  // answers `ij` by the URL text of the element; other requests fail.
  std::shared_ptr<FakeService> ServeJobs(std::map<std::string, QX_TDict> jobInfo = {},
                                         std::map<std::string, QX_TArray> ij = {}) {
    auto elem = Serve("ElemServer");
    elem->OnRequest([jobInfo, ij](const QX_TDict& request) -> QX_TAny {
      const std::string method = T2D_CAST(QX_TString, request["M"]).Str();
      if (method == "jinfo_cpp") {
        auto it = jobInfo.find(T2D_CAST(QX_TString, request["P1"]).Str());
        if (it != jobInfo.end()) return it->second;
      } else if (method == "ij") {
        auto it = ij.find(T2D_CAST(QX_TURL, request["P1"]).Text().Str());
        if (it != ij.end()) return it->second;
      }
      throw QXM_EException("ElemServer: no answer");
    });
    return elem;
  }

  void RunBegin() {
    QX_TDict options = Options();
    converter.AddSetup_begin(ticket, options, 0);
  }
  void RunMiddle() {
    QX_TDict options = Options();
    converter.AddSetup_middle(ticket, options, 0);
  }
  void RunEnd() {
    QX_TDict options = Options();
    converter.AddSetup_end(ticket, options, 0);
  }
  void RunGlobal(int filmIndex = 0, int optimizedExposure = 0) {
    QX_TString name("M1");
    converter.AddSetupGlobal(ticket, master_, name, filmIndex, optimizedExposure);
  }
  // The whole setup through the frame's entry point, with these page flags.
  void RunSetupDict(int filmIndex = 0, int flag1 = 0, int flag2 = 0, int flag3 = 0, int flag4 = 0) {
    QX_TArray jobs = T2D_CAST(QX_TArray, master_["Jobs"]);
    converter.SetupDict(ticket, master_, "M1", filmIndex, 0, jobs, flag1, flag2, flag3, flag4, "");
  }

  std::vector<Written> Setup() const {
    std::vector<Written> out;
    for (const CParamItem& item : Items("setup")) out.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    return out;
  }
  // The setup item `key` as (key, value, comment); ("", "", "") when missing.
  Written SetupItem(const std::string& key) const {
    const CParamItem* item = Item("setup", key);
    if (item == nullptr) return Written{};
    return Written{item->key, item->value, item->comment.value_or("(none)")};
  }
  // The value of a template name: its text, "(no value)" or "(undefined)".
  std::string NameValue(const std::string& name) const {
    for (auto& entry : task.Names().Entries()) {
      if (entry.name.Str() != name) continue;
      if (!entry.value) return "(no value)";
      if (auto* s = dynamic_cast<const QX_TString*>(entry.value->Object())) return s->Str();
      if (auto* u = dynamic_cast<const QX_TURL*>(entry.value->Object())) return u->Text().Str();
      return "(other)";
    }
    return "(undefined)";
  }
  void Define(std::initializer_list<const char*> names) {
    for (const char* name : names) task.Names().Define(name, 0, 0);
  }
  // The log as (level, text) pairs.
  std::vector<std::pair<int, std::string>> Log() const {
    std::vector<std::pair<int, std::string>> out;
    for (auto& entry : task.Log()) out.emplace_back(entry.level, entry.text);
    return out;
  }
  // The last `count` log entries (all of them when there are fewer).
  std::vector<std::pair<int, std::string>> LogTail(size_t count) const {
    auto log = Log();
    if (log.size() > count) log.erase(log.begin(), log.end() - static_cast<long>(count));
    return log;
  }

 private:
  QX_TDict master_;
};

}  // namespace setup_test
