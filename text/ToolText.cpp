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
}};

std::string LocalizedToolText(ToolText id, int language) {
    const int row = static_cast<int>(id);
    if (row < 0 || row >= kToolTextCount || language < 0 || language >= kLanguageCount)
        return {};
    return kToolTextTable[static_cast<size_t>(row)][static_cast<size_t>(language)];
}

std::string LocalizedToolText(ToolText id) {
    return LocalizedToolText(id, LanguageIndex());
}

} // namespace kaptiv::text
