#pragma once

#include "payload/DeviceParams.h"

#include <QJsonObject>
#include <string>
#include <vector>

// DeviceParams from JSON, for scripted checks: keys are the field names
// ("mac", "wanName", "vid", "pppUser", "pppPassword" as arrays of up to ten
// strings, "wanCount" a number 0..10, "ssid5g", "wlanPsk5g", "ssid24g",
// "wlanPsk24g", "loid", "loidPassword", "loginPassword", "ploamPassword").
// A missing key is empty; numbers are taken as their decimal text; other keys
// are ignored. A text longer than its field is cut and flagged as overflowing.
// On a wrongly typed value returns false with a reason in error.
bool DeviceParamsFromJson(const QJsonObject& object, DeviceParams& params, std::string& error);

// Reads a file holding one object (wantArray false) or an array of objects.
bool ReadDeviceParamsFile(const std::string& path, bool wantArray,
                          std::vector<DeviceParams>& records, std::string& error);
