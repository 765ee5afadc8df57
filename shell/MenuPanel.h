#pragma once

// What the page host needs of the menu panel: a running search disables its
// buttons. The host knows the menu only through this.
class CMenuPanel {
public:
    virtual ~CMenuPanel() = default;
    virtual void SetButtonsEnabled(bool enabled) = 0;
};
