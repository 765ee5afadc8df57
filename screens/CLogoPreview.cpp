#include "screens/CLogoPreview.h"

#include "base/Language.h"
#include "base/Settings.h"
#include "controls/CTButtonPicture.h"
#include "controls/CTDialog.h"
#include "controls/CTStatic.h"
#include "controls/DialogTitleBar.h"
#include "controls/SkinStyle.h"
#include "shell/SkinPaths.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>

CLogoPreview::CLogoPreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("logoPreview"));
}

void CLogoPreview::SetImage(const QImage& image) {
    m_image = image;
    repaint();
}

void CLogoPreview::Clear() {
    m_image = QImage();
    repaint();
}

void CLogoPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(rect(), m_image);
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

namespace SubmissionDialogParts {

namespace {
QString Tr(const char* text) {
    return TranslateText(QString::fromUtf8(text));
}
} // namespace

void AddTitleBar(CTDialog* dialog, const QString& title) {
    AddDialogTitleBar(dialog, title, Skin().closeConfig, Skin().orangeLine);
}

CTStatic* AddLabel(QWidget* parent, const char* text, const QRect& rect) {
    auto* label = new CTStatic(parent);
    label->SetupStaticFromSettings();
    label->setText(Tr(text));
    label->setGeometry(rect);
    return label;
}

QCheckBox* AddKeepProvisioningSwitch(QWidget* parent, const QRect& rect,
                                     const std::vector<QLineEdit*>& watchedFields) {
    auto* box = new QCheckBox(Tr("Keep provisioning new devices"), parent);
    box->setObjectName(QStringLiteral("keepProvisioningSwitch"));
    box->setGeometry(rect);
    const auto update = [box, watchedFields] {
        bool chosen = false;
        for (const QLineEdit* field : watchedFields)
            chosen = chosen || !field->text().isEmpty();
        box->setEnabled(chosen);
        if (!chosen)
            box->setChecked(false);
    };
    for (QLineEdit* field : watchedFields)
        QObject::connect(field, &QLineEdit::textChanged, box, update);
    update();
    return box;
}

QLineEdit* AddPathField(QWidget* parent, const QRect& rect) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setGeometry(rect);
    return field;
}

CTButtonPicture* AddButton(QWidget* parent, const char* text, const QRect& rect, bool large) {
    auto* button = new CTButtonPicture(parent);
    const QString image = large ? Skin().configButton : Skin().buttonConfig;
    button->SetButtonImages(image, image, image, image);
    CTButtonPicture::SetupButton(*button, Tr(text));
    const QImage& face = button->Image(CTButtonPicture::Normal);
    if (large) {
        // White on the button face, black while active.
        button->SetNormalTextColor(MakeColorRef(255, 255, 255));
        button->SetActiveTextColor(MakeColorRef(0, 0, 0));
    }
    // The button takes its image's size, centred on the place asked for.
    QRect place = rect;
    if (!face.isNull()) {
        place.setSize(face.size());
        place.moveCenter(rect.center());
    }
    button->setGeometry(place);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

LogoPickerParts AddLogoPicker(QWidget* parent, int captionTop) {
    LogoPickerParts parts{};
    AddLabel(parent, "ChoosePictureFile", QRect(28, 62, 130, 22));
    parts.field = AddPathField(parent, QRect(160, 62, 280, 24));
    parts.field->setObjectName(QStringLiteral("pictureField"));
    parts.scan = AddButton(parent, "Scan", QRect(450, 60, 84, 28), false);
    AddLabel(parent, "Example", QRect(28, 104, 130, 22));
    parts.preview = new CLogoPreview(parent);
    parts.preview->setGeometry(160, 100, 229, 51);
    parts.caption = new CTStatic(parent);
    parts.caption->setObjectName(QStringLiteral("pictureCaption"));
    parts.caption->SetupStaticFromSettings();
    parts.caption->setAlignment(Qt::AlignCenter);
    parts.caption->setGeometry(140, captionTop, 270, 22);
    return parts;
}

void ClearLogoPicker(const LogoPickerParts& parts) {
    parts.field->clear();
    parts.caption->clear();
    parts.preview->Clear();
}

} // namespace SubmissionDialogParts
