#include "text/ToolText.h"

#include <utility>

static_assert(sizeof("\u00E9") == 3, "string literals must be UTF-8 encoded");

namespace kaptiv::text {

const std::array<ToolTextRow, kToolTextCount> kToolTextTable = {{
    {"Module list refused: %d modules listed, at most %d.",
     "Liste des modules refusée : %d modules annoncés, %d au plus.",
     "Elenco dei moduli rifiutato: %d moduli elencati, al massimo %d.",
     "Modulliste abgelehnt: %d Module gemeldet, höchstens %d.",
     "Lista de módulos rechazada: %d módulos indicados, como máximo %d."},
    {"Module %d: parameter block of %d bytes refused (at most %d).",
     "Module %d : bloc de paramètres de %d octets refusé (%d au plus).",
     "Modulo %d: blocco di parametri di %d byte rifiutato (al massimo %d).",
     "Modul %d: Parameterblock mit %d Bytes abgelehnt (höchstens %d).",
     "Módulo %d: bloque de parámetros de %d bytes rechazado (como máximo %d)."},
    {"The common-interface menu comes in a later version.",
     "Le menu de l'interface commune viendra dans une version ultérieure.",
     "Il menu dell'interfaccia comune arriverà in una versione successiva.",
     "Das Menü des Common Interface folgt in einer späteren Version.",
     "El menú de la interfaz común llegará en una versión posterior."},
    {"The settings page comes in a later version.",
     "La page des réglages viendra dans une version ultérieure.",
     "La pagina delle impostazioni arriverà in una versione successiva.",
     "Die Einstellungsseite folgt in einer späteren Version.",
     "La página de ajustes llegará en una versión posterior."},
    {"Loading a configuration file comes in a later version.",
     "Le chargement d'un fichier de configuration viendra dans une version ultérieure.",
     "Il caricamento di un file di configurazione arriverà in una versione successiva.",
     "Das Laden einer Konfigurationsdatei folgt in einer späteren Version.",
     "La carga de un archivo de configuración llegará en una versión posterior."},
    {"Saving the configuration comes in a later version.",
     "L'enregistrement de la configuration viendra dans une version ultérieure.",
     "Il salvataggio della configurazione arriverà in una versione successiva.",
     "Das Speichern der Konfiguration folgt in einer späteren Version.",
     "El guardado de la configuración llegará en una versión posterior."},
    {"The installation report comes in a later version.",
     "Le rapport d'installation viendra dans une version ultérieure.",
     "Il rapporto di installazione arriverà in una versione successiva.",
     "Der Installationsbericht folgt in einer späteren Version.",
     "El informe de instalación llegará en una versión posterior."},
    {"Fetching the module log comes in a later version.",
     "La lecture du journal du module viendra dans une version ultérieure.",
     "La lettura del registro del modulo arriverà in una versione successiva.",
     "Das Abrufen des Modulprotokolls folgt in einer späteren Version.",
     "La lectura del registro del módulo llegará en una versión posterior."},
}};

namespace {

// The main window names each feature in English; the row holds the whole sentence.
constexpr std::pair<std::string_view, ToolText> kLaterFeatures[] = {
    {"The common-interface menu", ToolText::CommonInterfaceMenuLater},
    {"The settings page", ToolText::SettingsPageLater},
    {"Loading a configuration file", ToolText::LoadConfigurationLater},
    {"Saving the configuration", ToolText::SaveConfigurationLater},
    {"The installation report", ToolText::InstallationReportLater},
    {"Fetching the module log", ToolText::ModuleLogLater},
};

} // namespace

std::string LocalizedToolText(ToolText id, int language) {
    const int row = static_cast<int>(id);
    if (row < 0 || row >= kToolTextCount || language < 0 || language >= kLanguageCount)
        return {};
    return kToolTextTable[static_cast<size_t>(row)][static_cast<size_t>(language)];
}

std::string LocalizedToolText(ToolText id) {
    return LocalizedToolText(id, LanguageIndex());
}

std::string ComingLaterText(std::string_view feature) {
    for (const auto& [english, id] : kLaterFeatures)
        if (english == feature)
            return LocalizedToolText(id);
    return std::string(feature) + " comes in a later version.";
}

} // namespace kaptiv::text
