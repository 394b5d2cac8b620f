#include "task.h"

#include "qxinit.h"

void TW_TTask::LogMessage(int level, const char* text) {
  log_.push_back(TW_TLogEntry{level, text ? text : "", false, QX_TAny(), logStep_ ? logStep_ : "", logJob_});
}

void TW_TTask::LogMessage(int level, const char* key, const QX_TAny& argument) {
  log_.push_back(TW_TLogEntry{level, key ? key : "", true, argument, logStep_ ? logStep_ : "", logJob_});
}

TW_TTask& TW_TTask::RegisterTempFile(const QX_TURL& url, bool keep) {
  tempFiles_.push_back(TW_TTempFile{url, keep});
  return *this;
}

extern "C" bool __QX_INITIALIZATION_FUNCTION_taskwrapper__() { return qxinit::Run("taskwrapper"); }
