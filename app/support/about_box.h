// What the About window says and shows, apart from the window itself.
#pragma once

#include <QImage>
#include <QString>

namespace calmora {

// Captions of the About window in one language (1 English, 2 Italian; any
// other value gives English).
struct AboutTexts {
    QString title;
    QString version;      // Label2
    QString releaseDate;  // Label5
    QString webSite;      // Label3
    QString libraryUse;   // Label8, ends with the word before the library's link
    QString forDetails;   // Label10
    QString licence;      // Label11
};
[[nodiscard]] AboutTexts AboutTextsFor(int language);

// The link targets. The program's own home page and contact address are set
// by whoever builds it (CALMORA_HOMEPAGE, CALMORA_CONTACT).
[[nodiscard]] QString HomePageAddress();
[[nodiscard]] QString ContactAddress();
[[nodiscard]] QString FreeImageAddress();
// What opening the contact link asks the desktop for.
[[nodiscard]] QString ContactMailUrl();

// The program's picture: a lens whose three colour rings calm into one smooth
// wave, drawn at size x size pixels on a transparent background.
[[nodiscard]] QImage DrawCalmoraPicture(int size);

}  // namespace calmora
