#pragma once

#include <vector>

#include <QImage>
#include <QWidget>

// The preview area of the submission dialogs: a frame into which the chosen
// picture is stretched whole, with smooth scaling.
class CLogoPreview : public QWidget {
    Q_OBJECT
public:
    explicit CLogoPreview(QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    void Clear();
    const QImage& Image() const { return m_image; }
    bool HasImage() const { return !m_image.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// The pieces both submission dialogs are built from.
class CTButtonPicture;
class CTDialog;
class CTStatic;
class QLabel;
class QLineEdit;
class QCheckBox;
class QString;
class QRect;

namespace SubmissionDialogParts {

// Makes the dialog frameless with its one title bar (DialogTitleBar): the
// title, the skin's line under it and the close button (which rejects it).
// The dialog has its final size already.
void AddTitleBar(CTDialog* dialog, const QString& title);
CTStatic* AddLabel(QWidget* parent, const char* text, const QRect& rect);
QLineEdit* AddPathField(QWidget* parent, const QRect& rect);
// A skinned button; large ones carry white text, turning black when active.
CTButtonPicture* AddButton(QWidget* parent, const char* text, const QRect& rect, bool large);

// "Keep provisioning new devices": off at first, and enabled only while a
// payload is chosen (watchedFields: the dialog's path fields).
QCheckBox* AddKeepProvisioningSwitch(QWidget* parent, const QRect& rect,
                                     const std::vector<QLineEdit*>& watchedFields);

// The picture row of both dialogs: "ChoosePictureFile" with its path field and
// Scan button, "Example" with the preview, and the caption centred under it at
// captionTop.
struct LogoPickerParts {
    QLineEdit* field;
    CTButtonPicture* scan;
    CLogoPreview* preview;
    CTStatic* caption;
};
LogoPickerParts AddLogoPicker(QWidget* parent, int captionTop);
// Empties the path field, the caption and the preview.
void ClearLogoPicker(const LogoPickerParts& parts);

} // namespace SubmissionDialogParts
