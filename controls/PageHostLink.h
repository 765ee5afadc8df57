#pragma once

// What the pages need of the page host that holds them. The host registers
// itself at set-up; the pages find it here (it is null before the host exists).
class CPageHostLink {
public:
    virtual ~CPageHostLink() = default;
    // A page selector chose a page: ownerId is the identifier of the page
    // that owns the selector (133, 136, 137), page counts from 1. Returns 0.
    virtual int OnPageChangeNotice(int ownerId, int page) = 0;
    // The status page turns automatic refresh off while a search runs.
    virtual void SetAutoRefresh(bool on) = 0;
    virtual bool AutoRefresh() const = 0;
    // The status page disables the menu buttons while a search runs.
    virtual void SetMenuButtonsEnabled(bool enabled) = 0;
};

CPageHostLink* PageHostLink();
void SetPageHostLink(CPageHostLink* host);
