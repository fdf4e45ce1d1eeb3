// The update panel's files: the firmware file, the table files of channel A
// and B and the merged file, each with whether it is ready to use, and what
// the merged file was made from. The LEDs show readiness; the download and
// the merge ask these values, never an LED.
#pragma once

extern char firmwarePath[260];
extern char mergedFilePath[260];
extern char lindataAPath[260];
extern char lindataBPath[260];

// Whether the file behind a file LED (UPDATE_LED_FIRMWARE, _A, _B, _MERGED)
// was chosen and taken.
bool FileReady(int led);
// Notes whether that file is ready and shows it on the LED: green yes, red no.
void SetFileReady(int led, bool ready);
// Ready LED: yellow when something can be programmed, red otherwise.
void SetReadyLed(bool ready);
// Copies a chosen path into a path buffer; false (buffer emptied) when it
// does not fit.
bool TakePath(char *buffer, unsigned size, const char *path);

// Notes the merged file MERGE just wrote as made from the firmware file, use
// boxes, table files and window the panel shows now.
void NoteMergedFileSource();
// True while the last merged file was made from exactly the firmware file,
// use boxes, table files (path and content) and window the panel shows now,
// and is itself unchanged. When anything differs the merged file is
// dropped: its LED turns red and its text says it is out of date.
bool MergedFileStillCurrent();
// Drops the merged file, as when an input it was made from changed.
void DropMergedFile();
// A merged file counts only while a table is in use, it was written, and
// it is still current.
bool MergedFileReady();

// Back to start-up: no file chosen, none ready, no merged file. The panel
// is left as it is.
void ResetUpdateFiles();
