// Test mode of the controller's outputs.
#pragma once

// Switches the test panel's groups: a = the controls that need a link,
// b = the controls that need test mode.
void set_test_panel_controls(int a, int b);
