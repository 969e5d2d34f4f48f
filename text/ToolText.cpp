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
    // Files: a report that was not written or is incomplete, a load not written everywhere.
    {"Report not written: the link to the rack was lost.",
     "Rapport non écrit : la liaison avec le rack a été perdue.",
     "Rapporto non scritto: il collegamento con il rack è stato perso.",
     "Bericht nicht geschrieben: die Verbindung zum Rack ist verloren gegangen.",
     "Informe no escrito: se perdió el enlace con el rack."},
    {"Report not written: the rack was scanned again.",
     "Rapport non écrit : le rack a été analysé de nouveau.",
     "Rapporto non scritto: il rack è stato analizzato di nuovo.",
     "Bericht nicht geschrieben: das Rack wurde erneut durchsucht.",
     "Informe no escrito: el rack se ha explorado de nuevo."},
    {"Report not written: %s", "Rapport non écrit : %s", "Rapporto non scritto: %s",
     "Bericht nicht geschrieben: %s", "Informe no escrito: %s"},
    {"Settings not shown: this module is past the module list.",
     "Réglages non affichés : ce module est au-delà de la liste des modules.",
     "Impostazioni non mostrate: questo modulo è oltre l'elenco dei moduli.",
     "Einstellungen nicht angezeigt: dieses Modul steht nach dem Ende der Modulliste.",
     "Ajustes no mostrados: este módulo está más allá de la lista de módulos."},
    {"Report incomplete (settings of %d modules not shown), saved into %s",
     "Rapport incomplet (réglages de %d modules non affichés), enregistré dans %s",
     "Rapporto incompleto (impostazioni di %d moduli non mostrate), salvato in %s",
     "Bericht unvollständig (Einstellungen von %d Modulen nicht angezeigt), gespeichert in %s",
     "Informe incompleto (ajustes de %d módulos no mostrados), guardado en %s"},
    {"Configuration NOT uploaded to: %s", "Configuration NON chargée dans : %s",
     "Configurazione NON caricata in: %s", "Konfiguration NICHT übertragen an: %s",
     "Configuración NO cargada en: %s"},
    // Ending on a signal, and the link trace's write failures.
    {"The program will close once this module's firmware has been written.",
     "Le programme se fermera dès que le firmware de ce module sera écrit.",
     "Il programma si chiuderà non appena il firmware di questo modulo sarà stato scritto.",
     "Das Programm wird beendet, sobald die Firmware dieses Moduls geschrieben ist.",
     "El programa se cerrará en cuanto se haya escrito el firmware de este módulo."},
    {"The link trace could not be written (%s); it stops here.",
     "La trace de liaison n'a pas pu être écrite (%s) ; elle s'arrête ici.",
     "La traccia del collegamento non ha potuto essere scritta (%s); si ferma qui.",
     "Die Verbindungsaufzeichnung konnte nicht geschrieben werden (%s); sie endet hier.",
     "No se pudo escribir la traza del enlace (%s); se detiene aquí."},
    // Firmware update: a module the update leaves as it is, and why.
    {"Module %d (%s) left as it is: its update from %s was already tried in this session. "
     "Change the firmware folder and press the rescan button to try again.",
     "Module %d (%s) laissé tel quel : sa mise à jour depuis %s a déjà été tentée pendant cette session. "
     "Modifiez le dossier firmware et appuyez sur le bouton de nouvelle recherche pour réessayer.",
     "Modulo %d (%s) lasciato com'è: il suo aggiornamento da %s è già stato tentato in questa sessione. "
     "Modificare la cartella firmware e premere il pulsante di nuova scansione per riprovare.",
     "Modul %d (%s) bleibt unverändert: sein Update aus %s wurde in dieser Sitzung schon versucht. "
     "Ändern Sie den Firmware-Ordner und drücken Sie die Taste für einen neuen Suchlauf, um es erneut zu "
     "versuchen.",
     "Módulo %d (%s) se deja como está: su actualización desde %s ya se intentó en esta sesión. "
     "Cambie la carpeta firmware y pulse el botón de nueva búsqueda para intentarlo de nuevo."},
    {"Module %d (%s) left as it is: the front-panel picture %s is missing or unreadable.",
     "Module %d (%s) laissé tel quel : l'image de face avant %s est absente ou illisible.",
     "Modulo %d (%s) lasciato com'è: l'immagine del pannello frontale %s manca o è illeggibile.",
     "Modul %d (%s) bleibt unverändert: das Frontplattenbild %s fehlt oder ist nicht lesbar.",
     "Módulo %d (%s) se deja como está: la imagen del panel frontal %s falta o no se puede leer."},
    // USB-key file names and the CAM panel's answer.
    {"Empty file name.", "Nom de fichier vide.", "Nome di file vuoto.", "Leerer Dateiname.",
     "Nombre de archivo vacío."},
    {"\"%s\": not a file of the USB key.", "\"%s\" : pas un fichier de la clé USB.",
     "\"%s\": non è un file della chiavetta USB.", "\"%s\": keine Datei des USB-Sticks.",
     "\"%s\": no es un archivo de la memoria USB."},
    {"\"%s\": the name holds a control character.", "\"%s\" : le nom contient un caractère de contrôle.",
     "\"%s\": il nome contiene un carattere di controllo.", "\"%s\": der Name enthält ein Steuerzeichen.",
     "\"%s\": el nombre contiene un carácter de control."},
    {"\"%s\": the name holds a quotation mark, which cannot be passed to the module.",
     "\"%s\" : le nom contient un guillemet, qui ne peut pas être transmis au module.",
     "\"%s\": il nome contiene una virgoletta, che non può essere trasmessa al modulo.",
     "\"%s\": der Name enthält ein Anführungszeichen, das nicht an das Modul übergeben werden kann.",
     "\"%s\": el nombre contiene una comilla, que no se puede transmitir al módulo."},
    {"\"%s\": the name is too long for the module.", "\"%s\" : le nom est trop long pour le module.",
     "\"%s\": il nome è troppo lungo per il modulo.", "\"%s\": der Name ist zu lang für das Modul.",
     "\"%s\": el nombre es demasiado largo para el módulo."},
    {"\"%s\": the name cannot be written on the USB key.",
     "\"%s\" : le nom ne peut pas être écrit sur la clé USB.",
     "\"%s\": il nome non può essere scritto sulla chiavetta USB.",
     "\"%s\": der Name kann nicht auf den USB-Stick geschrieben werden.",
     "\"%s\": el nombre no se puede escribir en la memoria USB."},
    {"[name not usable]", "[nom inutilisable]", "[nome non utilizzabile]", "[Name nicht verwendbar]",
     "[nombre no utilizable]"},
    {"The schedule could not be written to the module: \"%s\" was not replaced.",
     "Le programme n'a pas pu être écrit dans le module : \"%s\" n'a pas été remplacé.",
     "La programmazione non è stata scritta nel modulo: \"%s\" non è stato sostituito.",
     "Der Zeitplan konnte nicht in das Modul geschrieben werden: \"%s\" wurde nicht ersetzt.",
     "No se pudo escribir la programación en el módulo: \"%s\" no se ha sustituido."},
    {"The schedule could not be written to the module: \"%s\" was not deleted.",
     "Le programme n'a pas pu être écrit dans le module : \"%s\" n'a pas été supprimé.",
     "La programmazione non è stata scritta nel modulo: \"%s\" non è stato cancellato.",
     "Der Zeitplan konnte nicht in das Modul geschrieben werden: \"%s\" wurde nicht gelöscht.",
     "No se pudo escribir la programación en el módulo: \"%s\" no se ha borrado."},
    {"Answer too long: at most %d characters", "Réponse trop longue : %d caractères au plus",
     "Risposta troppo lunga: al massimo %d caratteri", "Antwort zu lang: höchstens %d Zeichen",
     "Respuesta demasiado larga: %d caracteres como máximo"},
    // Settings page and installation report: one view per module family.
    {"Please enter only characters the module can store.",
     "Veuillez n'entrer que des caractères que le module peut enregistrer.",
     "Inserire solo caratteri che il modulo può memorizzare.",
     "Bitte nur Zeichen eingeben, die das Modul speichern kann.",
     "Introduzca solo caracteres que el módulo pueda guardar."},
    {"The settings of this module could not be read; they are not reported.",
     "Les réglages de ce module n'ont pas pu être lus ; ils ne figurent pas dans le rapport.",
     "Impossibile leggere le impostazioni di questo modulo; non compaiono nel rapporto.",
     "Die Einstellungen dieses Moduls konnten nicht gelesen werden; sie fehlen im Bericht.",
     "No se pudieron leer los ajustes de este módulo; no figuran en el informe."},
    // Rack health view: alarm log, tiles, CSV export.
    {"The module does not answer.", "Le module ne répond pas.", "Il modulo non risponde.",
     "Das Modul antwortet nicht.", "El módulo no responde."},
    {"The module answers as another type than the rack lists.",
     "Le module répond comme un autre type que celui listé par le rack.",
     "Il modulo risponde come un tipo diverso da quello elencato dal rack.",
     "Das Modul meldet sich als anderer Typ als im Rack aufgeführt.",
     "El módulo responde como otro tipo distinto del que lista el rack."},
    {"Input %s has no lock.", "L'entrée %s n'est pas verrouillée.", "L'ingresso %s non è agganciato.",
     "Eingang %s ist nicht eingerastet.", "La entrada %s no está enganchada."},
    {"Input %s: level under %d.", "Entrée %s : niveau inférieur à %d.",
     "Ingresso %s: livello inferiore a %d.", "Eingang %s: Pegel unter %d.",
     "Entrada %s: nivel inferior a %d."},
    {"No CAM in the module.", "Aucun CAM dans le module.", "Nessuna CAM nel modulo.", "Kein CAM im Modul.",
     "Ningún CAM en el módulo."},
    {"The output is stopped.", "La sortie est arrêtée.", "L'uscita è ferma.", "Der Ausgang ist gestoppt.",
     "La salida está detenida."},
    {"Temperature above %d °C.", "Température supérieure à %d °C.", "Temperatura superiore a %d °C.",
     "Temperatur über %d °C.", "Temperatura superior a %d °C."},
    {"Power supply fault.", "Défaut d'alimentation.", "Guasto dell'alimentazione.", "Netzteilfehler.",
     "Fallo de la alimentación."},
    {"The fan is stopped.", "Le ventilateur est arrêté.", "La ventola è ferma.", "Der Lüfter steht.",
     "El ventilador está parado."},
    {"Raised,Cleared,Slot,Address,Module,Alarm,What happened",
     "Déclenchée,Terminée,Emplacement,Adresse,Module,Alarme,Description",
     "Attivato,Terminato,Posizione,Indirizzo,Modulo,Allarme,Descrizione",
     "Ausgelöst,Beendet,Steckplatz,Adresse,Modul,Alarm,Beschreibung",
     "Activada,Terminada,Ranura,Dirección,Módulo,Alarma,Descripción"},
    {"Rack health: every module at a glance", "État du rack : tous les modules d'un coup d'œil",
     "Stato del rack: tutti i moduli a colpo d'occhio", "Rack-Zustand: alle Module auf einen Blick",
     "Estado del rack: todos los módulos de un vistazo"},
    {"Rack health", "État du rack", "Stato del rack", "Rack-Zustand", "Estado del rack"},
    {"Alarm log", "Journal des alarmes", "Registro degli allarmi", "Alarmprotokoll", "Registro de alarmas"},
    {"Save as CSV", "Enregistrer en CSV", "Salva come CSV", "Als CSV speichern", "Guardar como CSV"},
    {"active", "en cours", "in corso", "aktiv", "activa"},
    {"Health rounds paused while kaptiv works on the rack.",
     "Relevés d'état suspendus pendant que kaptiv travaille sur le rack.",
     "Letture di stato sospese mentre kaptiv lavora sul rack.",
     "Zustandsabfragen pausiert, solange kaptiv am Rack arbeitet.",
     "Lecturas de estado en pausa mientras kaptiv trabaja en el rack."},
    {"No alarm.", "Aucune alarme.", "Nessun allarme.", "Kein Alarm.", "Ninguna alarma."},
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
     "no es una carpeta: %s"}, // Health view: tiles, round line, plots, CSV.
    {"locked", "verrouillée", "agganciato", "eingerastet", "enganchada"},
    {"carrier", "porteuse", "portante", "Träger", "portadora"},
    {"no lock", "non verrouillée", "non agganciato", "nicht eingerastet", "sin enganche"},
    {"%s %s · lvl %s% · Q %s%", "%s %s · niv. %s% · Q %s%", "%s %s · liv. %s% · Q %s%",
     "%s %s · Pegel %s% · Q %s%", "%s %s · nivel %s% · C %s%"},
    {"%s %s · lvl %s%", "%s %s · niv. %s%", "%s %s · liv. %s%", "%s %s · Pegel %s%", "%s %s · nivel %s%"},
    {"output on", "sortie active", "uscita attiva", "Ausgang an", "salida activa"},
    {"output off", "sortie arrêtée", "uscita ferma", "Ausgang aus", "salida parada"},
    {"CAM ready", "CAM prêt", "CAM pronta", "CAM bereit", "CAM listo"},
    {"CAM starting", "CAM en démarrage", "CAM in avvio", "CAM startet", "CAM iniciando"},
    {"no CAM", "pas de CAM", "nessuna CAM", "kein CAM", "sin CAM"},
    {"USB key", "clé USB", "chiavetta USB", "USB-Stick", "memoria USB"},
    {"no USB key", "pas de clé USB", "nessuna chiavetta USB", "kein USB-Stick", "sin memoria USB"},
    {"supply OK", "alim. OK", "alimentaz. OK", "Netzteil OK", "fuente OK"},
    {"supply fault", "défaut alim.", "guasto alim.", "Netzteilfehler", "fallo alim."},
    {"fan running", "ventilateur OK", "ventola OK", "Lüfter läuft", "ventilador OK"},
    {"fan stopped", "ventilateur arrêté", "ventola ferma", "Lüfter steht", "ventilador parado"},
    {"not answering", "ne répond pas", "non risponde", "antwortet nicht", "no responde"},
    {"waiting for the first round", "en attente du premier relevé", "in attesa della prima lettura",
     "warte auf die erste Abfrage", "esperando la primera lectura"},
    {"Last round %s: %s modules, %s alarms active.", "Dernier relevé %s : %s modules, %s alarmes en cours.",
     "Ultima lettura %s: %s moduli, %s allarmi in corso.", "Letzte Abfrage %s: %s Module, %s Alarme aktiv.",
     "Última lectura %s: %s módulos, %s alarmas activas."},
    {"The round of %s did not complete: the rack does not answer.",
     "Le relevé de %s n'a pas abouti : le rack ne répond pas.",
     "La lettura delle %s non è stata completata: il rack non risponde.",
     "Die Abfrage um %s wurde nicht abgeschlossen: das Rack antwortet nicht.",
     "La lectura de las %s no se completó: el rack no responde."},
    {"No rack connected: no rounds.", "Aucun rack connecté : pas de relevé.",
     "Nessun rack collegato: nessuna lettura.", "Kein Rack verbunden: keine Abfragen.",
     "Ningún rack conectado: sin lecturas."},
    {"Level and quality (%)", "Niveau et qualité (%)", "Livello e qualità (%)", "Pegel und Qualität (%)",
     "Nivel y calidad (%)"},
    {"Rate per channel (Mbit/s)", "Débit par canal (Mbit/s)", "Bitrate per canale (Mbit/s)",
     "Datenrate je Kanal (Mbit/s)", "Tasa por canal (Mbit/s)"},
    {"Temperature (°C)", "Température (°C)", "Temperatura (°C)", "Temperatur (°C)",
     "Temperatura del módulo (°C)"},
    {"Rate (Mbit/s)", "Débit (Mbit/s)", "Bitrate (Mbit/s)", "Datenrate (Mbit/s)", "Tasa (Mbit/s)"},
    {"CAM state (0 none, 1 starting, 2 ready)", "État du CAM (0 absent, 1 démarrage, 2 prêt)",
     "Stato CAM (0 assente, 1 avvio, 2 pronta)", "CAM-Zustand (0 keins, 1 Start, 2 bereit)",
     "Estado del CAM (0 ninguno, 1 inicio, 2 listo)"},
    {"level %s", "niveau %s", "livello %s", "Pegel %s", "nivel %s"},
    {"quality %s", "qualité %s", "qualità %s", "Qualität %s", "calidad %s"},
    {"channel %s", "canal %s", "canale %s", "Kanal %s", "canal de salida %s"},
    {"Alarm log saved: %s", "Journal des alarmes enregistré : %s", "Registro degli allarmi salvato: %s",
     "Alarmprotokoll gespeichert: %s", "Registro de alarmas guardado: %s"},
    {"The alarm log was not saved: %s", "Le journal des alarmes n'a pas été enregistré : %s",
     "Il registro degli allarmi non è stato salvato: %s", "Das Alarmprotokoll wurde nicht gespeichert: %s",
     "El registro de alarmas no se guardó: %s"},
    {"Click a plot to see the last hour.", "Cliquez sur une courbe pour voir la dernière heure.",
     "Fare clic su un grafico per vedere l'ultima ora.", "Auf eine Kurve klicken: die letzte Stunde.",
     "Haga clic en una curva para ver la última hora."},
    {"answering", "répond", "risponde", "antwortet", "responde"},
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

std::string FillToolText(ToolText id, std::initializer_list<std::string> values) {
    std::string out;
    const std::string text = LocalizedToolText(id);
    auto next = values.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') &&
            next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
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
