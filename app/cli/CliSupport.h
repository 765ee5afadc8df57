#pragma once

#include "payload/DeviceParams.h"

#include <QJsonValue>
#include <functional>
#include <string>
#include <vector>

class AcTransmitManage;
class CSqlManagement;
class CliProgress;

// Pieces the commands of quorvantix-cli share.

// Prints text on stderr and gives kExitRefused.
int Refuse(const std::string& text);

// A decimal count of at most nine digits within [low, high].
bool ParseCount(const std::string& text, int low, int high, int& value);

// A MAC written as six pairs of hex digits in either case, separated by ':'
// or by '-'; out receives the upper-case colon form the record store uses.
bool NormaliseMac(const std::string& text, std::string& out);

// One field of tab-separated output: invalid UTF-8 becomes U+FFFD; a
// backslash, tab and line feed are written \\, \t and \n, any other control
// character as \xNN (its UTF-8 bytes), so no text can add a column, a row or
// reach the terminal as an escape sequence.
std::string TsvField(const std::string& text);

// A text for JSON output: invalid UTF-8 becomes U+FFFD.
QJsonValue JsonText(const std::string& text);
// Prints the value in the one compact style of every command, with a newline.
void PrintJson(const QJsonValue& value);

// Empty when path names a regular file that can be opened for reading; else
// the reason ("no such file", "not a regular file", or the system's text).
std::string InputFileProblem(const std::string& path);

// A chosen input file: a missing one is refused at once, naming the option
// and the file; otherwise the program's own test runs first (its message is
// shown), and a failure of it, or a file that is not regular, is refused with
// "<command>: <option> <path>: <why>". kExitOk when the file passes.
int CheckInputFile(const std::string& command, const std::string& option, const std::string& path,
                   const std::function<bool(const std::string&)>& programCheck,
                   const std::string& whenRefused);

// The --template file of a command, read into params: a missing or unreadable
// template shows "Analysis xml settting error?" and is refused naming the
// option and the file. kExitOk when params holds the template's values.
int ReadTemplateFor(const char* command, const std::string& templatePath, DeviceParams& params);

// Writes bytes to path, replacing what is there: a new file (mode 0600) in the
// same folder, renamed into place, so a planted link is replaced rather than
// followed. False with the reason in error.
bool WriteOutputFile(const std::string& path, const std::string& bytes, std::string& error);

// SIGINT and SIGTERM set a flag instead of ending the process, so a command
// can end its work in order; StopRequested() reads it.
void CatchStopSignals();
bool StopRequested();

// Selects the adapter whose interface name is `name` and starts the device
// link's threads on it; the receive thread listens when this returns.
// Gives kExitOk, else prints "<command>: ..." and gives the exit code.
int SelectAdapterNamed(AcTransmitManage& link, const std::string& name, const char* command);

// A search as the status page runs it: clear, one broadcast, one per second
// until `broadcasts` are sent, then one second more for late replies. Shows
// "broadcast k of N, D devices found" on the progress line. False when a stop
// signal ended it early.
bool SearchSegment(AcTransmitManage& link, CSqlManagement& store, int broadcasts,
                   CliProgress* progress = nullptr);

// The MAC texts of a parameter sheet's rows below its header, in row order,
// normalised, each once. Gives kExitOk, else shows why ("<command>: --sheet
// PATH: ...") and gives kExitRefused.
int ReadSheetMacs(const char* command, const std::string& path, std::vector<std::string>& macs);
