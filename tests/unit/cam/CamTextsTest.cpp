// The panel's messages in the five languages, byte for byte as the installers know them
// (the Italian "ask for main menu" carries a no-break space, C2 A0, after "Richiesta").
#include "text/Language.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

using Row = std::array<const char*, 5>;

const std::array<Row, 8> kExpected = {{
    {"Connecting to common interface", "Connection au module", "Connessione al modulo common interface",
     "Verbindung zu Common Interface", "Conexion con el modulo IC"},
    {"CAM initing. Wait...", "Initialisation Module...", "Inizializzazione CAM. Attendere...",
     "CAM Inizialisierung. Bitte warten...", "Inicializando IC. Porfavor espere..."},
    {"Ask for main menu", "Requ\xC3\xAAte menu principal", "Richiesta\xC2\xA0menu principale",
     "Anfrage f\xC3\xBCr das Haupmen\xC3\xBC", "Petici\xC3\xB3n men\xC3\xBA principal"},
    {"Select menu %d", "Choix menu %d", "Seleziona menu %d", "Men\xC3\xBC ausw\xC3\xA4hlen %d",
     "Seleccionar men\xC3\xBA %d"},
    {"Answer : ", "R\xC3\xA9ponse : ", "Risposta : ", "Antwort : ", "Respuesta : "},
    {"Doubleclick on list to select or Escape for previous menu",
     "Double clic sur liste pour s\xC3\xA9lection ou touche \xC3\xA9"
     "chap pour menu pr\xC3\xA9"
     "c\xC3\xA9"
     "dent",
     "Doppioclick nella lista per selezionare oppure ESC per tornare al menu precedente",
     "Doppelclick in der Liste oder ESC dr\xC3\xBC"
     "cken f\xC3\xBCr das vorige Men\xC3\xBC",
     "DobleClick en la lista o pulsar ESC para volver al men\xC3\xBA anterior"},
    {"Enter value and press OK or CANCEL", "Entrer valeur et presser OK ou ANNULER",
     "Digita il valore e premere OK oppure CANCEL",
     "Wert eingeben und OK oder CANCEL dr\xC3\xBC"
     "cken",
     "Introducir valor y pulsar OK o CANCEL"},
    {"TAG %06X not treated", "TAG %06X non trait\xC3\xA9", "TAG %06X non trattata",
     "TAG %06X nicht behandelt", "TAG %06X no tratada"},
}};

} // namespace

TEST(CamTexts, RowsFortyOneToFortyEightInAllFiveLanguages) {
    for (int row = 0; row < 8; ++row)
        for (int language = 0; language < 5; ++language)
            EXPECT_EQ(kaptiv::text::LocalizedText(41 + row, language), kExpected[row][language])
                << "row " << 41 + row << " language " << language;
}
