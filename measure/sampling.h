// Measuring-loop state shared by every command that talks to the controller.
#pragma once

// 1 = no measuring loop running; every loop ends at its next check once set.
extern int stop_flag;
// Third argument the program passes to set_main_buttons (send/get group).
extern int send_get_status;

// Switches the main panel's command groups: a = RUN, STOP and DATA,
// b = the further sensor commands, c = the parameter send/get group.
void set_main_buttons(int a, int b, int c);
