#pragma once

#include "payload/DeviceParams.h"

#include <QJsonObject>
#include <string>
#include <vector>

// DeviceParams from JSON, for scripted checks. The keys are the parameter
// sheet's column names: "mac", "WanName1".."WanName10", "vid1".., "pppUser1"..,
// "pppPassword1"..; "ssid_5g", "wlanPsk_5g", "ssid_2.4g", "wlanPsk_2.4g";
// "loid", "loidPassword", "ploamPassword", "loginPassword". "wanCount" (a
// number 0..10) gives the WAN connections in use; without it, the highest
// connection named. The older keys still read: "wanName", "vid", "pppUser",
// "pppPassword" as arrays of up to ten strings, "ssid5g", "wlanPsk5g",
// "ssid24g", "wlanPsk24g". A missing key is empty; numbers are taken as their
// decimal text. A text longer than its field is cut and flagged as
// overflowing. An unknown key or a wrongly typed value gives false with a
// reason naming the key in error.
bool DeviceParamsFromJson(const QJsonObject& object, DeviceParams& params, std::string& error);

// Reads a file holding one object or an array of objects (a regular file of
// at most 16 MiB). The reason names the file.
bool ReadDeviceParamsFile(const std::string& path, std::vector<DeviceParams>& records,
                          std::string& error);
