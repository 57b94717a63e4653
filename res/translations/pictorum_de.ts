<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>Text</name>
    <message>
        <source>Overlay Image</source>
        <translation>Overlay-Bild</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>Auswählen...</translation>
    </message>
    <message>
        <source>Background Images (0)</source>
        <translation>Hintergrundbilder (0)</translation>
    </message>
    <message>
        <source>Background Images (%d)</source>
        <translation>Hintergrundbilder (%d)</translation>
    </message>
    <message>
        <source>Import...</source>
        <translation>Importieren...</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Sample</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Options...</source>
        <translation>Optionen...</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Info...</translation>
    </message>
    <message>
        <source>&amp;Go!</source>
        <translation>&amp;Los!</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Pixels</source>
        <translation>P&amp;ixel</translation>
    </message>
    <message>
        <source>Overlay Size</source>
        <translation>Overlay-Größe</translation>
    </message>
    <message>
        <source>P&amp;ercent of Background</source>
        <translation>Pro&amp;zent des Hintergrunds</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Anchor</source>
        <translation>Anker</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>&amp;Format</source>
        <translation>&amp;Format</translation>
    </message>
    <message>
        <source>&amp;Template</source>
        <translation>&amp;Vorlage</translation>
    </message>
    <message>
        <source>About Pictorum</source>
        <translation>Über Pictorum</translation>
    </message>
    <message>
        <source>Batch stamping</source>
        <translation>Stapel-Stempeln</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>0% Complete</source>
        <translation>0 % abgeschlossen</translation>
    </message>
    <message>
        <source>%i%% Complete</source>
        <translation>%i %% abgeschlossen</translation>
    </message>
    <message>
        <source>Initializing...</source>
        <translation>Wird vorbereitet...</translation>
    </message>
    <message>
        <source>Processing Item %i/%i</source>
        <translation>Bild %i/%i wird bearbeitet</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Finished</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Batch Completed</source>
        <translation>Stapel abgeschlossen</translation>
    </message>
    <message>
        <source>Cancelling .</source>
        <translation>Wird abgebrochen .</translation>
    </message>
    <message>
        <source> Done</source>
        <translation> fertig</translation>
    </message>
    <message>
        <source>Error : A timeout has occurred</source>
        <translation>Fehler : Zeitüberschreitung</translation>
    </message>
    <message>
        <source>Error : Could not start the run</source>
        <translation>Fehler : Der Lauf konnte nicht gestartet werden</translation>
    </message>
    <message>
        <source>Error : The previous run has not ended</source>
        <translation>Fehler : Der vorige Lauf ist noch nicht beendet</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Error : Could not open</source>
        <translation>Fehler : Konnte nicht geöffnet werden</translation>
    </message>
    <message>
        <source>Error : Could not copy image</source>
        <translation>Fehler : Bild konnte nicht kopiert werden</translation>
    </message>
    <message>
        <source>Error : Could not save</source>
        <translation>Fehler : Konnte nicht gespeichert werden</translation>
    </message>
    <message>
        <source>No overlay image selected</source>
        <translation>Kein Overlay-Bild gewählt</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>No background images selected</source>
        <translation>Keine Hintergrundbilder gewählt</translation>
    </message>
    <message>
        <source>The previous run has not ended</source>
        <translation>Der vorige Lauf ist noch nicht beendet</translation>
    </message>
    <message>
        <source>Please select folder to output results.

WARNING: Any duplicate files will be overwritten.</source>
        <translation>Bitte den Ordner für die Ergebnisse wählen.

WARNUNG: Gleichnamige Dateien werden überschrieben.</translation>
    </message>
    <message>
        <source>Import Background Images</source>
        <translation>Hintergrundbilder importieren</translation>
    </message>
    <message>
        <source>Choose Overlay Image</source>
        <translation>Overlay-Bild wählen</translation>
    </message>
    <message>
        <source>All Supported Formats</source>
        <translation>Alle unterstützten Formate</translation>
    </message>
    <message>
        <source>Choose Folder</source>
        <translation>Ordner wählen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Generic Error</source>
        <translation>Allgemeiner Fehler</translation>
    </message>
    <message>
        <source>Invalid Parameter</source>
        <translation>Ungültiger Parameter</translation>
    </message>
    <message>
        <source>Out of Memory</source>
        <translation>Nicht genug Speicher</translation>
    </message>
    <message>
        <source>Object Busy</source>
        <translation>Objekt belegt</translation>
    </message>
    <message>
        <source>Win32 Error</source>
        <translation>Systemfehler</translation>
    </message>
    <message>
        <source>Wrong State</source>
        <translation>Falscher Zustand</translation>
    </message>
    <message>
        <source>Aborted</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>Datei nicht gefunden</translation>
    </message>
    <message>
        <source>Access Denied</source>
        <translation>Zugriff verweigert</translation>
    </message>
    <message>
        <source>Unknown Image Format</source>
        <translation>Unbekanntes Bildformat</translation>
    </message>
    <message>
        <source>Unknown Error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>Pictorum</source>
        <translation>Pictorum</translation>
    </message>
    <message>
        <source>Pictorum - Tollerby</source>
        <translation>Pictorum - Tollerby</translation>
    </message>
    <message>
        <source>© 2026 Tollerby</source>
        <translation>© 2026 Tollerby</translation>
    </message>
    <message>
        <source>Version 1.0</source>
        <translation>Version 1.0</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;X</source>
        <translation>&amp;X</translation>
    </message>
    <message>
        <source>&amp;Y</source>
        <translation>&amp;Y</translation>
    </message>
    <message>
        <source>These files were not added to the background images:</source>
        <translation>Diese Dateien wurden nicht zu den Hintergrundbildern hinzugefügt:</translation>
    </message>
    <message>
        <source>not a picture</source>
        <translation>kein Bild</translation>
    </message>
    <message>
        <source>no such file or folder</source>
        <translation>Datei oder Ordner nicht vorhanden</translation>
    </message>
    <message>
        <source>and %d more</source>
        <translation>und %d weitere</translation>
    </message>
    <message>
        <source>Preparing preview...</source>
        <translation>Vorschau wird vorbereitet...</translation>
    </message>
    <message>
        <source>No web browser could be started to open %s</source>
        <translation>Es konnte kein Webbrowser gestartet werden, um %s zu öffnen</translation>
    </message>
    <message>
        <source>Tollerby web site</source>
        <translation>Website von Tollerby</translation>
    </message>
    <message>
        <source>Pictorum: stamp one picture onto many</source>
        <translation>Pictorum: ein Bild auf viele stempeln</translation>
    </message>
    <message>
        <source>Background Images</source>
        <translation>Hintergrundbilder</translation>
    </message>
    <message>
        <source>Sample preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Top left</source>
        <translation>Oben links</translation>
    </message>
    <message>
        <source>Top centre</source>
        <translation>Oben Mitte</translation>
    </message>
    <message>
        <source>Top right</source>
        <translation>Oben rechts</translation>
    </message>
    <message>
        <source>Middle left</source>
        <translation>Mitte links</translation>
    </message>
    <message>
        <source>Centre</source>
        <translation>Mitte</translation>
    </message>
    <message>
        <source>Middle right</source>
        <translation>Mitte rechts</translation>
    </message>
    <message>
        <source>Bottom left</source>
        <translation>Unten links</translation>
    </message>
    <message>
        <source>Bottom centre</source>
        <translation>Unten Mitte</translation>
    </message>
    <message>
        <source>Bottom right</source>
        <translation>Unten rechts</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>%s File</source>
        <translation>%s-Datei</translation>
    </message>
    <message>
        <source>Sample preview: </source>
        <translation>Vorschau: </translation>
    </message>
    <message>
        <source>no background image</source>
        <translation>kein Hintergrundbild</translation>
    </message>
    <message>
        <source>, no overlay</source>
        <translation>, kein Overlay</translation>
    </message>
    <message>
        <source>, overlay at </source>
        <translation>, Overlay </translation>
    </message>
    <message>
        <source>top left</source>
        <translation>oben links</translation>
    </message>
    <message>
        <source>top centre</source>
        <translation>oben Mitte</translation>
    </message>
    <message>
        <source>top right</source>
        <translation>oben rechts</translation>
    </message>
    <message>
        <source>middle left</source>
        <translation>Mitte links</translation>
    </message>
    <message>
        <source>centre</source>
        <translation>Mitte</translation>
    </message>
    <message>
        <source>middle right</source>
        <translation>Mitte rechts</translation>
    </message>
    <message>
        <source>bottom left</source>
        <translation>unten links</translation>
    </message>
    <message>
        <source>bottom centre</source>
        <translation>unten Mitte</translation>
    </message>
    <message>
        <source>bottom right</source>
        <translation>unten rechts</translation>
    </message>
</context>
</TS>
