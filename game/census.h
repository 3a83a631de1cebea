// Every 30 frames: count the living units of both empires, end the game
// when one has none, and honour the jump keys on the way.
#pragma once

void census();
