#include "records/DeviceRecord.h"

#include "base/Language.h"

std::string StatusText(int code) {
    static const char* const kTexts[] = {"WaitOperate", "Operating",      "OperateSuccess",
                                         "OperateFail", "TransmitFinish", "TransmitFail"};
    if (code < 0 || code > 5)
        return {};
    return TranslateText(std::string(kTexts[code]));
}
