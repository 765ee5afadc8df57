#pragma once

#include <QString>

class CTButtonPicture;
class CTDialog;
class QLabel;
class QWidget;

// The one title bar of a frameless skinned dialog: its title on the title
// colour, a line picture under it and a close button in the top right corner
// that rejects the dialog. The title lets presses through to the dialog, so
// the dialog is dragged by its title as by its background.
struct DialogTitleBar {
    static constexpr int kHeight = 32;

    QLabel* title = nullptr;
    QLabel* line = nullptr;
    CTButtonPicture* close = nullptr;
};

// Makes dialog frameless and draggable and gives it the title bar. The close
// button shows closeImage in all four states, or an "X" without one.
DialogTitleBar AddDialogTitleBar(CTDialog* dialog, const QString& title, const QString& closeImage,
                                 const QString& lineImage);

// A one-pixel frame around a frameless window, above its children; made
// last, once every child exists.
QWidget* AddWindowBorder(QWidget* window);
