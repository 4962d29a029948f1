#include "app/dialog_units.h"

#include <QFontMetrics>

namespace modem {

namespace {

// MulDiv's rounding: half away from zero.
int mulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

BaseUnits baseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return BaseUnits{(letters / 26 + 1) / 2, metrics.ascent() + metrics.descent()};
}

int dluToPixelsX(int dlu, const BaseUnits& base) {
    return mulDiv(dlu, base.x, 4);
}

int dluToPixelsY(int dlu, const BaseUnits& base) {
    return mulDiv(dlu, base.y, 8);
}

QRect dluToPixels(int x, int y, int width, int height, const BaseUnits& base) {
    return QRect(dluToPixelsX(x, base), dluToPixelsY(y, base), dluToPixelsX(width, base),
                 dluToPixelsY(height, base));
}

QFont makeDialogFont(const DialogTemplate& dialog) {
    QFont font(
        QString::fromUtf8(dialog.fontFace.data(), static_cast<qsizetype>(dialog.fontFace.size())));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(mulDiv(dialog.pointSize, 96, 72));
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont makeFixedPitchFont(const FontTemplate& ctl) {
    QFont font(QString::fromUtf8(ctl.face.data(), static_cast<qsizetype>(ctl.face.size())));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(ctl.weight >= 700 ? QFont::Bold : QFont::Normal);
    for (int em = ctl.height; em > 1; --em) {
        font.setPixelSize(em);
        const QFontMetrics metrics(font);
        if (metrics.ascent() + metrics.descent() <= ctl.height) {
            break;
        }
    }
    return font;
}

}  // namespace modem
