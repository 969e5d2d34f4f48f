// Every row of the English column and of the heading table, compared byte for byte with a copy
// typed apart from the tables: a sampled check lets a changed or shifted row slip through.
#include "text/Language.h"
#include "text/LanguageTable.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

using namespace kaptiv::text;

namespace {

using Row = std::array<std::string_view, kLanguageCount>;
struct FullRow {
    int number;
    Row texts;
};

// English column, rows 0 to 93; rows 80, 81 and 85 are unused and empty.
constexpr std::array<std::string_view, 94> kEnglishColumn = {
    /* 0 */ "NoName",
    /* 1 */ "Sat. Transport Stream ID. : %d",
    /* 2 */ "Waiting multiplex lock...",
    /* 3 */ "Preparing list...",
    /* 4 */ "DoubleClick on list to change settings",
    /* 5 */ "Loaded configuration matches current installation.",
    /* 6 */ "LOADED CONFIGURATION DOES NOT MATCH CURRENT INSTALLATION !",
    /* 7 */ "Short Description :",
    /* 8 */ "  B.I.S. Frequency : %dMHz",
    /* 9 */ "  Symbol rate : %d",
    /* 10 */ "  Band : %s",
    /* 11 */ "  Polarity : %s",
    /* 12 */ "High",
    /* 13 */ "Low",
    /* 14 */ "Vertical",
    /* 15 */ "Horizontal",
    /* 16 */ "  Decryption on service(s) :",
    /* 17 */ "  Activation(Decryption) of service(s) :",
    /* 18 */ "  Activation of service(s) :",
    /* 19 */ "Movie(s) played on service %d :",
    /* 20 */ "  Frequency : %dMHz (",
    /* 21 */ "Guard Int. ",
    /* 22 */ "  No configuration required",
    /* 23 */ "Updating module %d (%s) to release V%d.%d\r\n",
    /* 24 */ "Preparing...",
    /* 25 */ "Sending...",
    /* 26 */ "Writing, WAIT AND DO NOT POWER OFF MULVANE...",
    /* 27 */ "ERROR !",
    /* 28 */ "Searching...",
    /* 29 */ "Found. Getting configuration...",
    /* 30 */ "Hardware updated - Reboot required - Wait...",
    /* 31 */ "Hardware not found...",
    /* 32 */ "Inactive module detected...",
    /* 33 */ "Firmware files not found...",
    /* 34 */ "Configuration require input and output modules.",
    /* 35 */ "Select name to save hardware configuration",
    /* 36 */ "Select Configuration file to upload in hardware",
    /* 37 */ "Configuration saved into ",
    /* 38 */ "ERROR : CAN NOT CREATE FILE !",
    /* 39 */ "Configuration uploaded to harware.",
    /* 40 */ "ERROR : CAN NOT OPEN FILE !",
    /* 41 */ "Connecting to common interface",
    /* 42 */ "CAM initing. Wait...",
    /* 43 */ "Ask for main menu",
    /* 44 */ "Select menu %d",
    /* 45 */ "Answer : ",
    /* 46 */ "Doubleclick on list to select or Escape for previous menu",
    /* 47 */ "Enter value and press OK or CANCEL",
    /* 48 */ "TAG %06X not treated",
    /* 49 */ "Not identified service !",
    /* 50 */ "Pol. :",
    /* 51 */ "F.E.C. :",
    /* 52 */ "CONFIGURATION",
    /* 53 */ "HD LCN",
    /* 54 */ "S.I.D.",
    /* 55 */ "Service name",
    /* 56 */ "UNCRYPT",
    /* 57 */ "MODULATION",
    /* 58 */ "LCN",
    /* 59 */ "Bandwidth :",
    /* 60 */ "Guard Int. :",
    /* 61 */ "ONID :",
    /* 62 */ "NID :",
    /* 63 */ "T.S. Id. :",
    /* 64 */ "Network name :",
    /* 65 */ "Remove CAT/EMM",
    /* 66 */ "Level Att.",
    /* 67 */ "B.W. 1",
    /* 68 */ "B.W. 2",
    /* 69 */ "B.W. 3",
    /* 70 */ "B.W. 4",
    /* 71 */ "Level",
    /* 72 */ "S.N.R.",
    /* 73 */ "Rate :",
    /* 74 */ "Name :",
    /* 75 */ "S.I.D. :",
    /* 76 */ "Const. :",
    /* 77 */ "ACTIVATION",
    /* 78 */ "Freq. (kHz) :",
    /* 79 */ "Channel :",
    /* 80 */ "",
    /* 81 */ "",
    /* 82 */ "IP Addr. :",
    /* 83 */ "Server Addr. :",
    /* 84 */ "Port :",
    /* 85 */ "",
    /* 86 */ "Select file to upload",
    /* 87 */ "Press ESC. to cancel",
    /* 88 */ "N.SID",
    /* 89 */ "Select name to save the report",
    /* 90 */ "Report saved into ",
    /* 91 */ "Loading...",
    /* 92 */ "Module %d change : %s release V%d.%d\r\n",
    /* 93 */ "Watchdog",
};

// Rows given in all five languages (English, French, Italian, German, Spanish).
constexpr std::array<FullRow, 6> kFullRows = {{
    {0, {"NoName", "SansNom", "SenzaNome", "KeinName", "SinNombre"}},
    {23,
     {"Updating module %d (%s) to release V%d.%d\r\n", "M.a.j. module %d (%s) vers version %d.%d\r\n",
      "Aggiornamento del modulo %d (%s) alla versione V%d.%d\r\n",
      "Update des Moduls %d (%s) auf die Version V%d.%d\r\n",
      "Actualizar el modulo %d (%s) a la version V%d.%d\r\n"}},
    {26,
     {"Writing, WAIT AND DO NOT POWER OFF MULVANE...", "Ecriture, ATTENDRE. Ne pas mettre hors tension...",
      "Scrittura, ATTENDERE. Non spegnere l'unità...", "Schreiben, WARTEN. Das gerät nicht vomnets nehmen...",
      "Escribiendo, ESPERE. No desconecte el equipo de la corriente..."}},
    {31,
     {"Hardware not found...", "Matériel non trouvé...", "Unità non riconosciuta...",
      "Modul nicht gefunden...", "Unidad no encontrada..."}},
    {38,
     {"ERROR : CAN NOT CREATE FILE !", "ERREUR : CREATION FICHIER IMPOSSIBLE !",
      "ERRORE : NON È POSSIBILE CREARE IL FILE !", "FEHLER : DIE DATEI KANN NICHT ERZEUGT WERDEN !",
      "ERROR : NO ES POSIBLE CREAR EL FICHERO !"}},
    {92,
     {"Module %d change : %s release V%d.%d\r\n", "Changement module %d : %s version %d.%d\r\n",
      "Modifica del modulo %d : %s versione V%d.%d\r\n", "Anderung des Moduls %d : %s version V%d.%d\r\n",
      "Cambio de modulo %d : %s version V%d.%d\r\n"}},
}};

// The heading table in full, its end mark last.
constexpr std::array<Row, 34> kHeadings = {{
    {"Identification", "Identification", "identificazione", "Identifizierung", "Identificación"},
    {"IP address", "Adresse IP", "IP dir.", "IP address", "IP dir."},
    {"server", "serveur", "server", "server", "servidor"},
    {"Configuration", "Configuration", "configurazione", "konfiguration", "configuracion"},
    {"RATE", "DEBIT", "RATE", "RATE", "RATE"},
    {"NAME", "NOM", "NOME", "NAME", "NOMBRE"},
    {"LIGHT", "LUM.", "LUM.", "LICHT", "LUZ"},
    {"CONT.", "CONT.", "CONT.", "KONT.", "CONT."},
    {"SAT.", "SAT.", "SAT.", "SAT.", "SAT."},
    {"FREQ.", "FREQ.", "FREQ.", "FREQ.", "FREC."},
    {"S.R.", "S.R.", "S.R.", "S.R.", "S.R."},
    {"POL.", "POL.", "POL.", "POL.", "POL."},
    {"SWITCH", "SWITCH", "SWITCH", "SWITCH", "SWITCH"},
    {"ATTENUATOR", "ATTENUATION", "ATTENUATION", "PEGELSTELLER", "ATTENUACION"},
    {"S.N.R.", "Qualité", "Qualità", "S.N.R.", "Calidad"},
    {"STATUS", "ETAT", "STATO", "ZUSTAND", "ESTADO"},
    {"BAND.", "BAND.", "BAND.", "BAND.", "BAND."},
    {"USB-Key Content", "Contenu clé USB", "Lista USB", "USB Liste", "Lista USB"},
    {"Streaming on S.I.D.", "Streaming S.I.D.", "Streaming S.I.D.", "Streaming S.I.D.", "Streaming S.I.D."},
    {"FROM", "DE", "DA", "VON", "DE"},
    {"TO", "A", "FINO", "BISS", "HASTA"},
    {"FILE", "FICHIER", "FILE", "FEILE", "FICHA"},
    {"Multiplexes Content", "Contenu Trans.", "Lista Trans.", "Trans. Liste", "Lista Trans."},
    {"TYPE", "TYPE", "TIPO", "TYP", "TIPO"},
    {"Crypted", "Crypté", "Critto", "Verschlüsselt", "Cifrado"},
    {"Used", "Utilisé", "Usato", "Benutz", "Utilizado"},
    {"CONST.", "CONST.", "CONST.", "KONST.", "CONST."},
    {"G.I.", "G.I.", "G.I.", "G.I.", "G.I."},
    {"VERS.", "VERS.", "VERS.", "VERS.", "VERS."},
    {"CHAN.", "CANAL", "CANALE", "KANAL", "CANAL"},
    {"USAGE", "UTILISATION", "UTILIZZO", "VERWENDUNG", "USO"},
    {"DECRYPT", "DECRYPT", "DECRIZIONE", "DECODIEREN", "DECODIFIC."},
    {"MODULATION", "MODULATION", "MODULAZION", "MODULATION", "MODULACION"},
    {"-", "-", "-", "-", "-"},
}};

TEST(LanguageRows, EveryEnglishTextIsExact) {
    static_assert(kEnglishColumn.size() == kLocalizedTextCount);
    for (int number = 0; number < kLocalizedTextCount; ++number)
        EXPECT_EQ(LocalizedText(number, static_cast<int>(Language::English)), kEnglishColumn[number])
            << "row " << number;
}

TEST(LanguageRows, RowsGivenInFiveLanguagesAreExactInEach) {
    for (const FullRow& row : kFullRows) {
        EXPECT_EQ(row.texts[0], kEnglishColumn[row.number]) << "row " << row.number;
        for (int language = 0; language < kLanguageCount; ++language)
            EXPECT_EQ(LocalizedText(row.number, language), row.texts[language])
                << "row " << row.number << " language " << language;
    }
}

TEST(LanguageRows, EveryHeadingRowIsExactInEveryLanguage) {
    static_assert(kHeadings.size() == kHeadingRowCount);
    for (size_t i = 0; i < kHeadings.size(); ++i) {
        for (int language = 0; language < kLanguageCount; ++language)
            EXPECT_EQ(std::string_view(kHeadingTable[i][language]), kHeadings[i][language])
                << "heading row " << i << " language " << language;
    }
    // And the lookup finds each one: no English heading hides another.
    for (size_t i = 0; i + 1 < kHeadings.size(); ++i)
        for (int language = 0; language < kLanguageCount; ++language)
            EXPECT_EQ(TranslateHeading(kHeadings[i][0], language), kHeadings[i][language])
                << "heading " << kHeadings[i][0] << " language " << language;
}

} // namespace
