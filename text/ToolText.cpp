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
    // Every window in five languages.
    {"No rack connected. Top button: search again.", "Aucun rack connecté. Bouton du haut : chercher.",
     "Nessun rack collegato. Pulsante in alto: cerca.", "Kein Rack verbunden. Obere Taste: neu suchen.",
     "Ningún rack conectado. Botón superior: buscar."},
    {"PLAY-OUT", "DIFFUSION", "RIPRODUZIONE", "WIEDERGABE", "REPRODUCCIÓN"},
    {"REMOTE SERVER", "SERVEUR DISTANT", "SERVER REMOTO", "ENTFERNTER SERVER", "SERVIDOR REMOTO"},
    {"TUNER LOCK", "VERROUILLAGE TUNER", "AGGANCIO TUNER", "TUNER-SYNCHRONISATION", "ENGANCHE DEL TUNER"},
    {"The rack restarts to take the new settings.", "Le rack redémarre pour prendre les nouveaux réglages.",
     "Il rack si riavvia per applicare le nuove impostazioni.",
     "Das Rack startet neu, um die neuen Einstellungen zu übernehmen.",
     "El rack se reinicia para aplicar los nuevos ajustes."},
    {"The settings of module %d could not be read; they are not written.",
     "Les réglages du module %d n'ont pas pu être lus ; ils ne sont pas écrits.",
     "Le impostazioni del modulo %d non sono leggibili; non vengono scritte.",
     "Die Einstellungen des Moduls %d konnten nicht gelesen werden; sie werden nicht geschrieben.",
     "Los ajustes del módulo %d no se pudieron leer; no se escriben."},
    {"The module's settings could not be read: %s", "Les réglages du module n'ont pas pu être lus : %s",
     "Le impostazioni del modulo non sono leggibili: %s",
     "Die Einstellungen des Moduls konnten nicht gelesen werden: %s",
     "Los ajustes del módulo no se pudieron leer: %s"},
    {"The settings are not written: %s", "Les réglages ne sont pas écrits : %s",
     "Le impostazioni non vengono scritte: %s", "Die Einstellungen werden nicht geschrieben: %s",
     "Los ajustes no se escriben: %s"},
    {"ERROR : CONFIGURATION FILE REFUSED, %s !", "ERREUR : FICHIER DE CONFIGURATION REFUSE, %s !",
     "ERRORE : FILE DI CONFIGURAZIONE RIFIUTATO, %s !", "FEHLER : KONFIGURATIONSDATEI ABGELEHNT, %s !",
     "ERROR : FICHERO DE CONFIGURACION RECHAZADO, %s !"},
    {"The module log could not be fetched: %s", "Le journal du module n'a pas pu être récupéré : %s",
     "Impossibile scaricare il registro del modulo: %s",
     "Das Protokoll des Moduls konnte nicht abgerufen werden: %s",
     "No se pudo obtener el registro del módulo: %s"},
    {"empty file name", "nom de fichier vide", "nome del file vuoto", "leerer Dateiname",
     "nombre de fichero vacío"},
    {"\"%s\": not a file of the USB key", "\"%s\" : pas un fichier de la clé USB",
     "\"%s\": non è un file della chiavetta USB", "\"%s\": keine Datei des USB-Sticks",
     "\"%s\": no es un fichero de la memoria USB"},
    {"\"%s\": the name holds a control character", "\"%s\" : le nom contient un caractère de contrôle",
     "\"%s\": il nome contiene un carattere di controllo", "\"%s\": der Name enthält ein Steuerzeichen",
     "\"%s\": el nombre contiene un carácter de control"},
    {"\"%s\": the name holds the character %s", "\"%s\" : le nom contient le caractère %s",
     "\"%s\": il nome contiene il carattere %s", "\"%s\": der Name enthält das Zeichen %s",
     "\"%s\": el nombre contiene el carácter %s"},
    {"\"%s\": the name holds a space", "\"%s\" : le nom contient une espace",
     "\"%s\": il nome contiene uno spazio", "\"%s\": der Name enthält ein Leerzeichen",
     "\"%s\": el nombre contiene un espacio"},
    {"\"%s\": the name is too long for the module", "\"%s\" : le nom est trop long pour le module",
     "\"%s\": il nome è troppo lungo per il modulo", "\"%s\": der Name ist zu lang für das Modul",
     "\"%s\": el nombre es demasiado largo para el módulo"},
    {"\"%s\": the name cannot be written on the USB key",
     "\"%s\" : ce nom ne peut pas être écrit sur la clé USB",
     "\"%s\": il nome non può essere scritto sulla chiavetta USB",
     "\"%s\": der Name kann nicht auf den USB-Stick geschrieben werden",
     "\"%s\": el nombre no se puede escribir en la memoria USB"},
    {"About KAPTIV", "À propos de KAPTIV", "Informazioni su KAPTIV", "Über KAPTIV", "Acerca de KAPTIV"},
    {"%s\nConfiguration and maintenance tool for the MULVANE headend rack.",
     "%s\nOutil de configuration et de maintenance de la tête de réseau MULVANE.",
     "%s\nStrumento di configurazione e manutenzione della centrale di testa MULVANE.",
     "%s\nKonfigurations- und Wartungsprogramm für die MULVANE-Kopfstelle.",
     "%s\nHerramienta de configuración y mantenimiento de la cabecera MULVANE."},
    {"%s already exists.\nDo you want to replace it?", "%s existe déjà.\nVoulez-vous le remplacer ?",
     "%s esiste già.\nSostituirlo?", "%s ist bereits vorhanden.\nMöchten Sie die Datei ersetzen?",
     "%s ya existe.\n¿Desea reemplazarlo?"},
    {"OK", "OK", "OK", "OK", "Aceptar"},
    {"Cancel", "Annuler", "Annulla", "Abbrechen", "Cancelar"},
    {"Yes", "Oui", "Sì", "Ja", "Sí"},
    {"No", "Non", "No", "Nein", "No"},
    {"Retry", "Réessayer", "Riprova", "Wiederholen", "Reintentar"},
    {"Save As", "Enregistrer sous", "Salva con nome", "Speichern unter", "Guardar como"},
    {"Open", "Ouvrir", "Apri", "Öffnen", "Abrir"},
    {"Save", "Enregistrer", "Salva", "Speichern", "Guardar"},
    {"Open", "Ouvrir", "Apri", "Öffnen", "Abrir"},
    {"File name", "Nom du fichier", "Nome file", "Dateiname", "Nombre"},
    {"Type", "Type", "Tipo", "Typ", "Tipo"},
    {"Parent folder", "Dossier parent", "Cartella superiore", "Übergeordneter Ordner", "Carpeta superior"},
    {"All files (*.*)", "Tous les fichiers (*.*)", "Tutti i file (*.*)", "Alle Dateien (*.*)",
     "Todos los ficheros (*.*)"},
    {"Only the first entries are shown.", "Seules les premières entrées sont affichées.",
     "Sono mostrate solo le prime voci.", "Nur die ersten Einträge werden angezeigt.",
     "Solo se muestran las primeras entradas."},
    {"Close", "Fermer", "Chiudi", "Schließen", "Cerrar"},
    {"The connection to KAPTIV was lost. Reconnecting…", "La connexion à KAPTIV est perdue. Reconnexion…",
     "Connessione a KAPTIV persa. Riconnessione…", "Verbindung zu KAPTIV verloren. Neuer Versuch…",
     "Se perdió la conexión con KAPTIV. Reconectando…"},
    {"Connecting to KAPTIV…", "Connexion à KAPTIV…", "Connessione a KAPTIV…", "Verbindung zu KAPTIV…",
     "Conectando con KAPTIV…"},
    {"not a folder: %s", "pas un dossier : %s", "non è una cartella: %s", "kein Ordner: %s",
     "no es una carpeta: %s"},
}};

std::string LocalizedToolText(ToolText id, int language) {
    const int row = static_cast<int>(id);
    if (row < 0 || row >= kToolTextCount || language < 0 || language >= kLanguageCount)
        return {};
    const char* text = kToolTextTable[static_cast<size_t>(row)][static_cast<size_t>(language)];
    return text ? text : ""; // a row missing from the table reads as empty (the test finds it)
}

std::string LocalizedToolText(ToolText id) {
    return LocalizedToolText(id, LanguageIndex());
}

std::string FormatToolText(ToolText id, int language, std::initializer_list<std::string_view> args) {
    const std::string format = LocalizedToolText(id, language);
    std::string out;
    out.reserve(format.size());
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 'd' || format[i + 1] == 's')) {
            if (next != args.end())
                out += *next++;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::string FormatToolText(ToolText id, std::initializer_list<std::string_view> args) {
    return FormatToolText(id, LanguageIndex(), args);
}

std::string_view LanguageCode(int language) {
    static constexpr std::array<std::string_view, kLanguageCount> kCodes = {"en", "fr", "it", "de", "es"};
    if (language < 0 || language >= kLanguageCount)
        return kCodes[0];
    return kCodes[static_cast<size_t>(language)];
}

} // namespace kaptiv::text
