// The two language tables, data only. Texts are UTF-8; "\u00A0" is the no-break space
// (bytes C2 A0) that some German and Italian texts carry where the others have an ordinary
// space. Columns: English, French, Italian, German, Spanish. Rows 80, 81 and 85 are unused
// and empty in every language.
#include "text/LanguageTable.h"

// The tables are written for a UTF-8 execution character set.
static_assert(sizeof("\u00A0") == 3, "string literals must be UTF-8 encoded");

namespace kaptiv::text {

const std::array<TextRow, kLocalizedTextCount> kLocalizedTextTable = {{
    /* 0 */ {"NoName", "SansNom", "SenzaNome", "KeinName", "SinNombre"},
    /* 1 */
    {"Sat. Transport Stream ID. : %d", "ID. Transport Stream sat. : %d", "ID. Transport Stream sat. : %d",
     "Sat. Transportstrom-ID. : %d", "ID. Transport Stream sat. : %d"},
    /* 2 */
    {"Waiting multiplex lock...", "Attente verrouillage multiplex...", "Attesa aggancio multiplex...",
     "Warten auf Multiplex-Synchronisation...", "Esperando enganche del múltiplex..."},
    /* 3 */
    {"Preparing list...", "Préparation de la liste...", "Preparazione lista...", "Liste wird vorbereitet...",
     "Preparando la lista..."},
    /* 4 */
    {"DoubleClick on list to change settings", "Double-cliquer sur la liste pour modifier les réglages",
     "Doppio clic sulla lista per modificare le impostazioni",
     "Doppelklick auf die Liste, um die Einstellungen zu ändern",
     "Doble clic en la lista para cambiar los ajustes"},
    /* 5 */
    {"Loaded configuration matches current installation.",
     "La configuration chargée correspond à l'installation actuelle.",
     "La configurazione caricata corrisponde all'installazione attuale.",
     "Die geladene Konfiguration entspricht der aktuellen Installation.",
     "La configuración cargada corresponde a la instalación actual."},
    /* 6 */
    {"LOADED CONFIGURATION DOES NOT MATCH CURRENT INSTALLATION !",
     "LA CONFIGURATION CHARGEE NE CORRESPOND PAS A L'INSTALLATION ACTUELLE !",
     "LA CONFIGURAZIONE CARICATA NON CORRISPONDE ALL'INSTALLAZIONE ATTUALE !",
     "DIE GELADENE KONFIGURATION ENTSPRICHT NICHT DER AKTUELLEN INSTALLATION !",
     "LA CONFIGURACION CARGADA NO CORRESPONDE A LA INSTALACION ACTUAL !"},
    /* 7 */
    {"Short Description :", "Description courte :", "Descrizione breve :", "Kurzbeschreibung :",
     "Descripción breve :"},
    /* 8 */
    {"  B.I.S. Frequency : %dMHz", "  Fréquence B.I.S. : %dMHz", "  Frequenza B.I.S. : %dMHz",
     "\u00A0 B.I.S.-Frequenz : %dMHz", "  Frecuencia B.I.S. : %dMHz"},
    /* 9 */
    {"  Symbol rate : %d", "  Débit symbole : %d", "  Symbol rate : %d", "\u00A0 Symbolrate : %d",
     "  Velocidad de símbolo : %d"},
    /* 10 */ {"  Band : %s", "  Bande : %s", "  Banda : %s", "\u00A0 Band : %s", "  Banda : %s"},
    /* 11 */
    {"  Polarity : %s", "  Polarité : %s", "  Polarità : %s", "\u00A0 Polarisation : %s", "  Polaridad : %s"},
    /* 12 */ {"High", "Haute", "Alta", "Hoch", "Alta"},
    /* 13 */ {"Low", "Basse", "Bassa", "Tief", "Baja"},
    /* 14 */ {"Vertical", "Verticale", "Verticale", "Vertikal", "Vertical"},
    /* 15 */ {"Horizontal", "Horizontale", "Orizzontale", "Horizontal", "Horizontal"},
    /* 16 */
    {"  Decryption on service(s) :", "  Décryptage du/des service(s) :",
     "\u00A0 Decrittazione sul/i servizio/i :", "\u00A0 Entschlüsselung von Dienst(en) :",
     "  Descifrado en servicio(s) :"},
    /* 17 */
    {"  Activation(Decryption) of service(s) :", "  Activation(Décryptage) du/des service(s) :",
     "  Attivazione(Decrittazione) del/i servizio/i :",
     "\u00A0 Aktivierung(Entschlüsselung) von Dienst(en) :", "  Activación(Descifrado) de servicio(s) :"},
    /* 18 */
    {"  Activation of service(s) :", "  Activation du/des service(s) :", "  Attivazione del/i servizio/i :",
     "\u00A0 Aktivierung von Dienst(en) :", "  Activación de servicio(s) :"},
    /* 19 */
    {"Movie(s) played on service %d :", "Film(s) diffusé(s) sur le service %d :",
     "Film riprodotti sul servizio %d :", "Auf Dienst %d gespielte Film(e) :",
     "Película(s) reproducida(s) en el servicio %d :"},
    /* 20 */
    {"  Frequency : %dMHz (", "  Fréquence : %dMHz (", "  Frequenza : %dMHz (", "\u00A0 Frequenz : %dMHz (",
     "  Frecuencia : %dMHz ("},
    /* 21 */ {"Guard Int. ", "Int. de garde ", "Int. di guardia ", "Schutzint. ", "Int. de guarda "},
    /* 22 */
    {"  No configuration required", "  Aucune configuration requise", "  Nessuna configurazione richiesta",
     "\u00A0 Keine Konfiguration erforderlich", "  No se requiere configuración"},
    /* 23 */
    {"Updating module %d (%s) to release V%d.%d\r\n", "M.a.j. module %d (%s) vers version %d.%d\r\n",
     "Aggiornamento del modulo %d (%s) alla versione V%d.%d\r\n",
     "Update des Moduls %d (%s) auf die Version V%d.%d\r\n",
     "Actualizar el modulo %d (%s) a la version V%d.%d\r\n"},
    /* 24 */ {"Preparing...", "Préparation...", "Preparazione...", "Vorbereitung...", "Preparando..."},
    /* 25 */ {"Sending...", "Envoi...", "Invio...", "Senden...", "Enviando..."},
    /* 26 */
    {"Writing, WAIT AND DO NOT POWER OFF MULVANE...", "Ecriture, ATTENDRE. Ne pas mettre hors tension...",
     "Scrittura, ATTENDERE. Non spegnere l'unità...", "Schreiben, WARTEN. Das gerät nicht vomnets nehmen...",
     "Escribiendo, ESPERE. No desconecte el equipo de la corriente..."},
    /* 27 */ {"ERROR !", "ERREUR !", "ERRORE !", "FEHLER !", "ERROR !"},
    /* 28 */ {"Searching...", "Recherche...", "Ricerca...", "Suchen...", "Buscando..."},
    /* 29 */
    {"Found. Getting configuration...", "Trouvé. Lecture de la configuration...",
     "Trovato. Lettura della configurazione...", "Gefunden. Konfiguration wird gelesen...",
     "Encontrado. Leyendo la configuración..."},
    /* 30 */
    {"Hardware updated - Reboot required - Wait...",
     "Matériel mis à jour - Redémarrage nécessaire - Patienter...",
     "Unità aggiornata - Riavvio necessario - Attendere...",
     "Modul aktualisiert - Neustart erforderlich - Warten...",
     "Unidad actualizada - Reinicio necesario - Espere..."},
    /* 31 */
    {"Hardware not found...", "Matériel non trouvé...", "Unità non riconosciuta...",
     "Modul nicht gefunden...", "Unidad no encontrada..."},
    /* 32 */
    {"Inactive module detected...", "Module inactif détecté...", "Rilevato modulo inattivo...",
     "Inaktives Modul erkannt...", "Módulo inactivo detectado..."},
    /* 33 */
    {"Firmware files not found...", "Fichiers firmware non trouvés...", "File firmware non trovati...",
     "Firmware-Dateien nicht gefunden...", "Ficheros de firmware no encontrados..."},
    /* 34 */
    {"Configuration require input and output modules.",
     "La configuration nécessite des modules d'entrée et de sortie.",
     "La configurazione richiede moduli di ingresso e di uscita.",
     "Die Konfiguration erfordert Eingangs- und Ausgangsmodule.",
     "La configuración requiere módulos de entrada y de salida."},
    /* 35 */
    {"Select name to save hardware configuration",
     "Choisir le nom pour enregistrer la configuration du matériel",
     "Scegliere il nome per salvare la configurazione dell'unità",
     "Namen zum Speichern der Hardware-Konfiguration wählen",
     "Elija el nombre para guardar la configuración del equipo"},
    /* 36 */
    {"Select Configuration file to upload in hardware",
     "Choisir le fichier de configuration à charger dans le matériel",
     "Scegliere il file di configurazione da caricare nell'unità",
     "Konfigurationsdatei zum Laden in die Hardware wählen",
     "Elija el fichero de configuración a cargar en el equipo"},
    /* 37 */
    {"Configuration saved into ", "Configuration enregistrée dans ", "Configurazione salvata in ",
     "Konfiguration gespeichert in ", "Configuración guardada en "},
    /* 38 */
    {"ERROR : CAN NOT CREATE FILE !", "ERREUR : CREATION FICHIER IMPOSSIBLE !",
     "ERRORE : NON È POSSIBILE CREARE IL FILE !", "FEHLER : DIE DATEI KANN NICHT ERZEUGT WERDEN !",
     "ERROR : NO ES POSIBLE CREAR EL FICHERO !"},
    /* 39 */
    {"Configuration uploaded to harware.", "Configuration chargée dans le matériel.",
     "Configurazione caricata nell'unità.", "Konfiguration in die Hardware geladen.",
     "Configuración cargada en el equipo."},
    /* 40 */
    {"ERROR : CAN NOT OPEN FILE !", "ERREUR : OUVERTURE FICHIER IMPOSSIBLE !",
     "ERRORE : NON È POSSIBILE APRIRE IL FILE !", "FEHLER : DIE DATEI KANN NICHT GEÖFFNET WERDEN !",
     "ERROR : NO ES POSIBLE ABRIR EL FICHERO !"},
    /* 41 */
    {"Connecting to common interface", "Connection au module", "Connessione al modulo common interface",
     "Verbindung zu Common Interface", "Conexion con el modulo IC"},
    /* 42 */
    {"CAM initing. Wait...", "Initialisation Module...", "Inizializzazione CAM. Attendere...",
     "CAM Inizialisierung. Bitte warten...", "Inicializando IC. Porfavor espere..."},
    /* 43 */
    {"Ask for main menu", "Requête menu principal", "Richiesta\u00A0menu principale",
     "Anfrage für das Haupmenü", "Petición menú principal"},
    /* 44 */
    {"Select menu %d", "Choix menu %d", "Seleziona menu %d", "Menü auswählen %d", "Seleccionar menú %d"},
    /* 45 */ {"Answer : ", "Réponse : ", "Risposta : ", "Antwort : ", "Respuesta : "},
    /* 46 */
    {"Doubleclick on list to select or Escape for previous menu",
     "Double clic sur liste pour sélection ou touche échap pour menu précédent",
     "Doppioclick nella lista per selezionare oppure ESC per tornare al menu precedente",
     "Doppelclick in der Liste oder ESC drücken für das vorige Menü",
     "DobleClick en la lista o pulsar ESC para volver al menú anterior"},
    /* 47 */
    {"Enter value and press OK or CANCEL", "Entrer valeur et presser OK ou ANNULER",
     "Digita il valore e premere OK oppure CANCEL", "Wert eingeben und OK oder CANCEL drücken",
     "Introducir valor y pulsar OK o CANCEL"},
    /* 48 */
    {"TAG %06X not treated", "TAG %06X non traité", "TAG %06X non trattata", "TAG %06X nicht behandelt",
     "TAG %06X no tratada"},
    /* 49 */
    {"Not identified service !", "Service non identifié !", "Servizio non identificato !",
     "Nicht identifizierter Dienst !", "Servicio no identificado !"},
    /* 50 */ {"Pol. :", "Pol. :", "Pol. :", "Pol. :", "Pol. :"},
    /* 51 */ {"F.E.C. :", "F.E.C. :", "F.E.C. :", "F.E.C. :", "F.E.C. :"},
    /* 52 */ {"CONFIGURATION", "CONFIGURATION", "CONFIGURAZIONE", "KONFIGURATION", "CONFIGURACION"},
    /* 53 */ {"HD LCN", "LCN HD", "LCN HD", "HD LCN", "LCN HD"},
    /* 54 */ {"S.I.D.", "S.I.D.", "S.I.D.", "S.I.D.", "S.I.D."},
    /* 55 */ {"Service name", "Nom du service", "Nome servizio", "Dienstname", "Nombre del servicio"},
    /* 56 */ {"UNCRYPT", "DECRYPT.", "DECRITT.", "ENTSCHL.", "DESCIFR."},
    /* 57 */ {"MODULATION", "MODULATION", "MODULAZIONE", "MODULATION", "MODULACION"},
    /* 58 */ {"LCN", "LCN", "LCN", "LCN", "LCN"},
    /* 59 */
    {"Bandwidth :", "Largeur de bande :", "Larghezza di banda :", "Bandbreite :", "Ancho de banda :"},
    /* 60 */ {"Guard Int. :", "Int. de garde :", "Int. di guardia :", "Schutzint. :", "Int. de guarda :"},
    /* 61 */ {"ONID :", "ONID :", "ONID :", "ONID :", "ONID :"},
    /* 62 */ {"NID :", "NID :", "NID :", "NID :", "NID :"},
    /* 63 */ {"T.S. Id. :", "T.S. Id. :", "T.S. Id. :", "T.S. Id. :", "T.S. Id. :"},
    /* 64 */
    {"Network name :", "Nom du réseau :", "Nome della rete :", "Netzwerkname :", "Nombre de la red :"},
    /* 65 */
    {"Remove CAT/EMM", "Supprimer CAT/EMM", "Rimuovi CAT/EMM", "CAT/EMM entfernen", "Eliminar CAT/EMM"},
    /* 66 */ {"Level Att.", "Att. niveau", "Att. livello", "Pegeldämpf.", "Atén. nivel"},
    /* 67 */ {"B.W. 1", "L.B. 1", "L.B. 1", "B.B. 1", "A.B. 1"},
    /* 68 */ {"B.W. 2", "L.B. 2", "L.B. 2", "B.B. 2", "A.B. 2"},
    /* 69 */ {"B.W. 3", "L.B. 3", "L.B. 3", "B.B. 3", "A.B. 3"},
    /* 70 */ {"B.W. 4", "L.B. 4", "L.B. 4", "B.B. 4", "A.B. 4"},
    /* 71 */ {"Level", "Niveau", "Livello", "Pegel", "Nivel"},
    /* 72 */ {"S.N.R.", "Qualité", "Qualità", "S.N.R.", "Calidad"},
    /* 73 */ {"Rate :", "Débit :", "Rate :", "Rate :", "Tasa :"},
    /* 74 */ {"Name :", "Nom :", "Nome :", "Name :", "Nombre :"},
    /* 75 */ {"S.I.D. :", "S.I.D. :", "S.I.D. :", "S.I.D. :", "S.I.D. :"},
    /* 76 */ {"Const. :", "Const. :", "Cost. :", "Konst. :", "Const. :"},
    /* 77 */ {"ACTIVATION", "ACTIVATION", "ATTIVAZIONE", "AKTIVIERUNG", "ACTIVACION"},
    /* 78 */ {"Freq. (kHz) :", "Fréq. (kHz) :", "Freq. (kHz) :", "Freq. (kHz) :", "Frec. (kHz) :"},
    /* 79 */ {"Channel :", "Canal :", "Canale :", "Kanal :", "Canal :"},
    /* 80 */ {"", "", "", "", ""},
    /* 81 */ {"", "", "", "", ""},
    /* 82 */ {"IP Addr. :", "Adr. IP :", "Ind. IP :", "IP-Adr. :", "Dir. IP :"},
    /* 83 */ {"Server Addr. :", "Adr. serveur :", "Ind. server :", "Server-Adr. :", "Dir. servidor :"},
    /* 84 */ {"Port :", "Port :", "Porta :", "Port :", "Puerto :"},
    /* 85 */ {"", "", "", "", ""},
    /* 86 */
    {"Select file to upload", "Choisir le fichier à envoyer", "Scegliere il file da inviare",
     "Datei zum Hochladen wählen", "Elija el fichero a enviar"},
    /* 87 */
    {"Press ESC. to cancel", "Appuyer sur ECHAP. pour annuler", "Premere ESC. per annullare",
     "ESC. drücken zum Abbrechen", "Pulse ESC. para cancelar"},
    /* 88 */ {"N.SID", "N.SID", "N.SID", "N.SID", "N.SID"},
    /* 89 */
    {"Select name to save the report", "Choisir le nom pour enregistrer le rapport",
     "Scegliere il nome per salvare il rapporto", "Namen zum Speichern des Berichts wählen",
     "Elija el nombre para guardar el informe"},
    /* 90 */
    {"Report saved into ", "Rapport enregistré dans ", "Rapporto salvato in ", "Bericht gespeichert in ",
     "Informe guardado en "},
    /* 91 */ {"Loading...", "Chargement...", "Caricamento...", "Laden...", "Cargando..."},
    /* 92 */
    {"Module %d change : %s release V%d.%d\r\n", "Changement module %d : %s version %d.%d\r\n",
     "Modifica del modulo %d : %s versione V%d.%d\r\n", "Anderung des Moduls %d : %s version V%d.%d\r\n",
     "Cambio de modulo %d : %s version V%d.%d\r\n"},
    /* 93 */ {"Watchdog", "Chien de garde", "Watchdog", "Watchdog", "Watchdog"},
}};

// Keyed by the English column; the all-"-" row ends the table.
const std::array<TextRow, kHeadingRowCount> kHeadingTable = {{
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

} // namespace kaptiv::text
