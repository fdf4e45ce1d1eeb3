#include "core/controller_notes.h"

ControllerNoteHooks controllerNoteHooks;

void NoteController(const ControllerNote &note) {
    if (controllerNoteHooks.noted) controllerNoteHooks.noted(note);
}

std::string ControllerWriteRefusal() {
    return controllerNoteHooks.writeRefusal ? controllerNoteHooks.writeRefusal() : std::string();
}
