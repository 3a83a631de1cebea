// The computer's plan every 500 frames: raids, recalls and sending workers to mines.
#pragma once

void computer_strategy();
