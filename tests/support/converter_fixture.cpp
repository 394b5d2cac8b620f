#include "converter_fixture.h"

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  hadValue_ = old != nullptr;
  if (old) oldValue_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (hadValue_)
    setenv(name_.c_str(), oldValue_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ConversionTest::ConversionTest() = default;
ConversionTest::~ConversionTest() = default;

std::shared_ptr<FakeService> ConversionTest::Serve(const std::string& service, const std::string& server) {
  auto fake = std::make_shared<FakeService>();
  servers.Register(server, service, fake);
  return fake;
}

void ConversionTest::SetShares(const std::vector<std::pair<std::string, std::string>>& table) {
  shares = LocalName2UNC_TShares(table);
}

std::vector<CParamItem> ConversionTest::Items(const std::string& section) const {
  const CParamSection* s = converter.Dictionary().FindSection(section);
  return s ? s->Items() : std::vector<CParamItem>();
}

std::vector<CParamItem> ConversionTest::JobItems(int jobNumber) const {
  const CParamSection* s = converter.Dictionary().FindJobSection(jobNumber);
  return s ? s->Items() : std::vector<CParamItem>();
}

namespace {
std::vector<std::string> KeysOf(const std::vector<CParamItem>& items) {
  std::vector<std::string> keys;
  for (auto& item : items) keys.push_back(item.key);
  return keys;
}
}  // namespace

std::vector<std::string> ConversionTest::Keys(const std::string& section) const { return KeysOf(Items(section)); }
std::vector<std::string> ConversionTest::JobKeys(int jobNumber) const { return KeysOf(JobItems(jobNumber)); }

const CParamItem* ConversionTest::Item(const std::string& section, const std::string& key) const {
  const CParamSection* s = converter.Dictionary().FindSection(section);
  return s ? s->Find(key) : nullptr;
}

const CParamItem* ConversionTest::JobItem(int jobNumber, const std::string& key) const {
  const CParamSection* s = converter.Dictionary().FindJobSection(jobNumber);
  return s ? s->Find(key) : nullptr;
}

std::vector<std::string> ConversionTest::LogTexts() const {
  std::vector<std::string> texts;
  for (auto& entry : task.Log()) texts.push_back(entry.text);
  return texts;
}

std::vector<int> ConversionTest::LogLevels() const {
  std::vector<int> levels;
  for (auto& entry : task.Log()) levels.push_back(entry.level);
  return levels;
}

QX_TDict ConversionTest::EmptyMaster() {
  QX_TDict master;
  master.Add("Options", QX_TDict());
  master.Add("Info", QX_TDict());
  master.Add("Jobs", QX_TArray());
  return master;
}
