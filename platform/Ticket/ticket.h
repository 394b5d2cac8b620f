// AT_TTicket: the job ticket. The host fills it; the converter reads it
// through the accessors. Each accessor of the ticket's own values tells the
// thread's read observer (qx_observation.h) what it answered.
#pragma once

#include "qxtypes.h"

class AT_TTicket {
 public:
  AT_TTicket() = default;
  virtual ~AT_TTicket() = default;

  // The device instance that runs the task.
  virtual QX_TString DeviceName() const {
    QX_HeardValue(QX_EValueSource::kTicket, "DeviceName", deviceName_);
    return deviceName_;
  }
  virtual QX_TString TaskID() const {
    QX_HeardValue(QX_EValueSource::kTicket, "TaskID", taskId_);
    return taskId_;
  }
  // The short identifier (setup item "ShortID", CIP3 file names).
  virtual QX_TString ShortID() const {
    QX_HeardValue(QX_EValueSource::kTicket, "ShortID", shortId_);
    return shortId_;
  }
  virtual QX_TUserInfo UserInfo() const {
    QX_HeardValue(QX_EValueSource::kTicket, "UserInfo", userInfo_);
    return userInfo_;
  }
  // The ticket parameter dictionary ("Masters", "CipParameters", ...).
  virtual QX_TDict& Configuration() { return configuration_; }
  // The work dictionary ("ResultsFromPreviousTask", "Inputfolder").
  virtual QX_TDict& WorkDictionary() { return work_; }

  void SetDeviceName(const QX_TString& v) { deviceName_ = v; }
  void SetTaskID(const QX_TString& v) { taskId_ = v; }
  void SetShortID(const QX_TString& v) { shortId_ = v; }
  void SetUserInfo(const QX_TUserInfo& v) { userInfo_ = v; }
  void SetConfiguration(const QX_TDict& v) { configuration_ = v; }
  void SetWorkDictionary(const QX_TDict& v) { work_ = v; }

 private:
  QX_TString deviceName_, taskId_, shortId_;
  QX_TUserInfo userInfo_;
  QX_TDict configuration_, work_;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket__();
