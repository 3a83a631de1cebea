// The one sound channel: a wave file queued on an SDL audio device; a new
// sound cuts the one still playing.
#pragma once

// Loads the wave (looked up like any data file) and starts it. No audio
// device, an unreadable file or a format SDL refuses all mean silence.
void sdl_play_wave(const char* relative_path);
// Closes the device and the audio subsystem if they were opened.
void sdl_close_audio();
