// What an operation did, as a value: its kind and the reason the operator
// is shown. The panels show the reason where they always did; qvex-ctl maps
// the kind to its exit status and the reason to its result.
#pragma once

#include <string>
#include <utility>

enum class OutcomeKind {
    Done,        // everything asked for was done
    Failed,      // the controller, the link or a file let the operation down
    Refused,     // not now (another operation holds the link, no link, a wrong setting): nothing was sent
    Rejected,    // the input (a file, a choice) cannot be used: nothing was sent
    Cancelled,   // the operator said no to a question or a file dialog
    Interrupted, // the program was asked to end while it ran
};

struct Outcome {
    OutcomeKind kind = OutcomeKind::Done;
    std::string reason; // the text the operator is shown; may be empty when Done
    int count = 0;      // what a count-giving operation produced (pages of a report)
    std::string text;   // what a text-giving operation read (the controller's version)

    Outcome() = default;
    Outcome(OutcomeKind k, std::string why) : kind(k), reason(std::move(why)) {}

    bool done() const { return kind == OutcomeKind::Done; }

    static Outcome Done(std::string why = {}) { return {OutcomeKind::Done, std::move(why)}; }
    static Outcome Failed(std::string why) { return {OutcomeKind::Failed, std::move(why)}; }
    static Outcome Refused(std::string why) { return {OutcomeKind::Refused, std::move(why)}; }
    static Outcome Rejected(std::string why) { return {OutcomeKind::Rejected, std::move(why)}; }
    static Outcome Cancelled(std::string why = {}) { return {OutcomeKind::Cancelled, std::move(why)}; }
};
