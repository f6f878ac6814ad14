#include "message_catalogue.h"

#include "app/support/language.h"
#include "ui_seams.h"

namespace calmora {
namespace {

// One row per message number, English then Italian. Most rows belong to
// commands this program does not offer; the numbering is kept so that every
// caller's number means what it always meant.
constexpr const char* kMessages[kMessageCount][2] = {
    {"Unknown image format.",
     "Formato immagine sconosciuto."},  // 1
    {"Insufficient memory for image loading.",
     "Memoria insufficiente per caricare l'immagine."},  // 2
    {"Insufficient memory for 24 bpp converting.",
     "Memoria insufficiente per conversione a 24 bpp."},  // 3
    {"Insufficient memory for Sin CreaDIB.",
     "Memoria insufficiente per CreaDIB Sin."},  // 4
    {"Insufficient memory for Sin KcBitBlt.",
     "Memoria insufficiente per KcBitBlt Sin."},  // 5
    {"Insufficient memory for screenfit image.",
     "Memoria insufficiente per adattare l'immagine allo schermo."},  // 6
    {"Width and Height cannot be over 20.000 value.",
     "Larghezza ed altezza non possono essere superiori a 20.000."},  // 7
    {"Insufficient memory for image resampling.",
     "Memoria insufficiente per ricampionare l'immagine."},  // 8
    {"Insufficient memory for Nin CreaDIB.",
     "Memoria insufficiente per CreaDIB Nin."},  // 9
    {"Insufficient memory for Nin KcBitBlt.",
     "Memoria insufficiente per KcBitBlt Nin."},  // 10
    {"Insufficient memory for KcResampling. Algorithm:",
     "Memoria insufficiente per KcResampling. Algoritmo:"},  // 11
    {"Print size width not numeric.",
     "Larghezza di stampa non numerica."},  // 12
    {"Print size width must be greater zero.",
     "La larghezza di stampa deve essere maggiore di zero."},  // 13
    {"Decimal numbers must be inserted using ",
     "I numeri decimali devo essere inseriti usando "},  // 14
    {"Print size height not numeric.",
     "Altezza di stampa non numerica."},  // 15
    {"Print size height must be greater zero.",
     "L'altezza di stampa deve essere maggiore di zero."},  // 16
    {"Pixels per inch not numeric.",
     "Pixel per pollice non numerici."},  // 17
    {"Pixels per inch must be greater zero.",
     "I pixel per pollice devono essere maggiori di zero."},  // 18
    {"Crop value must be a numeric integer.",
     "Il valore del taglio deve essere un numero intero."},  // 19
    {"Crop value cannot be negative.",
     "Il valore di taglio non può essere negativo."},  // 20
    {"Crop values sum must be : ",
     "La somma dei valori di taglio deve essere : "},  // 21
    {"Insufficient memory for creating PS image.",
     "Memoria insufficiente per creare immagine PS."},  // 22
    {"Insufficient memory for Pin CreaDIB.",
     "Memoria insufficiente per CreaDIB PIn."},  // 23
    {"Insufficient memory for dibIn rotate.",
     "Memoria insufficiente per rotazione dibIn."},  // 24
    {"Insufficient memory for dibOut rotate.",
     "Memoria insufficiente per rotazione dibOut."},  // 25
    {"Insufficient memory for dibIn brightnes.",
     "Memoria insufficiente per luminosità dibIn."},  // 26
    {"Insufficient memory for dibIn contrast.",
     "Memoria insufficiente per contrasto dibIn."},  // 27
    {"Insufficient memory for dibOut brightnes.",
     "Memoria insufficiente per luminosità dibOut."},  // 28
    {"Insufficient memory for dibOut contrast.",
     "Memoria insufficiente per contrasto dibOut."},  // 29
    {"Insufficient memory for dibIn gamma.",
     "Memoria insufficiente per gamma dibIn."},  // 30
    {"Insufficient memory for dibOut gamma.",
     "Memoria insufficiente per gamma dibOut."},  // 31
    {"Insufficient memory for Lin CreaDIB.",
     "Memoria insufficiente per CreaDIB Lin."},  // 32
    {"Insufficient memory for image cropping.",
     "Memoria insufficiente per tagliare l'immagine."},  // 33
    {"Width must be a numeric integer greater 9.",
     "Larghezza deve essere un numero intero maggiore di 9."},  // 34
    {"Height must be a numeric integer greater 9.",
     "Altezza deve essere un numero intero maggiore di 9."},  // 35
    {"ScaleWidth must be a numeric integer.",
     "%larghezza deve essere un numero intero."},  // 36
    {"ScaleHeight must be a numeric integer.",
     "%altezza deve essere un numero intero."},  // 37
    {"Width and height must be greater 9.",
     "Larghezza ed altezza devono essere superiori a 9."},  // 38
    {"Insufficient memory for dibIn color change.",
     "Memoria insufficiente per modifica colore dibIn."},  // 39
    {"Insufficient memory for dibOut color change.",
     "Memoria insufficiente per modifica colore dibOut."},  // 40
    {"Pixels per inch must be less or equal to 999.",
     "I pixel per pollice devono essere inferiori o uguali a 999."},  // 41
    {"Insufficient memory for POut CreaDIB.",
     "Memoria insufficiente per CreaDIB POut."},  // 42
    {"Insufficient memory for dib Denoise.",
     "Memoria insufficiente per creazione dib Denoise."},  // 43
};

}  // namespace

QString MessageText(int number, Language language) {
    const int column = language == Language::English ? 0 : language == Language::Italian ? 1 : -1;
    if (number < 1 || number > kMessageCount || column < 0) return {};
    return QString::fromUtf8(kMessages[number - 1][column]);
}

void ShowMessage(QWidget* parent, int number) {
    const QString text = MessageText(number, CurrentLanguage());
    // Callers pass constants from the table; an unknown number would only
    // show an empty box, so it shows nothing.
    if (text.isEmpty()) return;
    ShowMessageText(parent, text, MessageIcon::Critical);
}

void ShowMessageText(QWidget* parent, const QString& text, MessageIcon icon) {
    MessageRequest request;
    request.text = text;
    request.title = QStringLiteral("Calmora");
    request.icon = icon;
    Seams().showMessage(parent, request);
}

}  // namespace calmora
