#include "controls/PageHostLink.h"

namespace {
CPageHostLink* g_pageHost = nullptr;
}

CPageHostLink* PageHostLink() {
    return g_pageHost;
}

void SetPageHostLink(CPageHostLink* host) {
    g_pageHost = host;
}
