// Process entry. The window, the loop and the frame arrive with the window room.
int main() { return 0; }
