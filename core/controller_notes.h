// Writes to the controller and reads of its parameter record, reported
// upward to whoever keeps them on record (app/ fills the hooks at start-up;
// with nobody listening nothing happens and every write may go ahead).
#pragma once

#include "core/outcome.h"

#include <functional>
#include <string>
#include <vector>

enum class NotedMemory { Ram, Eeprom, Firmware, Filter };

struct ControllerNote {
    bool write = false; // false: the record was read ("seen")
    NotedMemory memory = NotedMemory::Ram;
    OutcomeKind kind = OutcomeKind::Done;
    std::string reason;
    // The parameter record as the controller holds it after the write or
    // as it was read (192 words), or the filter image written (256 words).
    std::vector<unsigned short> words;
    std::string file; // the firmware file downloaded
};

struct ControllerNoteHooks {
    std::function<void(const ControllerNote &)> noted;
    // Why a write must not go ahead now ("" lets it go).
    std::function<std::string()> writeRefusal;
};
extern ControllerNoteHooks controllerNoteHooks;

void NoteController(const ControllerNote &note);
std::string ControllerWriteRefusal();
