// What the About window says and shows, apart from the window itself.
#pragma once

#include <QImage>
#include <QString>

#include "app/support/language.h"

namespace calmora {

// Captions of the About window in one language (any value but Italian gives
// English).
struct AboutTexts {
    QString title;
    QString version;      // Label2
    QString releaseDate;  // Label5
    QString webSite;      // Label3
    QString libraryUse;   // Label8, ends with the word before the library's link
    QString forDetails;   // Label10
    QString licence;      // Label11
};
[[nodiscard]] AboutTexts AboutTextsFor(Language language);

// The link targets. The program's own home page and contact address are set
// by whoever builds it (CALMORA_HOMEPAGE, CALMORA_CONTACT).
[[nodiscard]] QString HomePageAddress();
[[nodiscard]] QString ContactAddress();
[[nodiscard]] QString FreeImageAddress();
// What opening the contact link asks the desktop for.
[[nodiscard]] QString ContactMailUrl();

// True when a home page or contact address (URL or mail address) is empty or
// on a domain kept for examples (example.org, .com, .net, *.example): the
// builder never named a real one, and a link to it would lead nowhere.
[[nodiscard]] bool IsPlaceholderAddress(const QString& address);

// The program's picture: a lens whose three colour rings calm into one smooth
// wave, drawn at size x size pixels on a transparent background.
[[nodiscard]] QImage DrawCalmoraPicture(int size);

}  // namespace calmora
