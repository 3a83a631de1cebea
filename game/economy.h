// Gold: base income, mines paying their owners and the units near them,
// and the computer's recruiting.
#pragma once

void economy_tick();
void computer_recruit();
