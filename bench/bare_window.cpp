// The floor for the idle viewer: a graphics-library window of the same size and depth, with the
// keyboard, that sleeps 16 ms a pass and draws nothing. bench/idle_cpu.sh measures both.
#include <allegro.h>
#include <time.h>

int main() {
    if (allegro_init() != 0) return 1;
    set_color_depth(16);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, 640, 480, 0, 0) != 0) return 1;
    install_keyboard();
    for (;;) {
        timespec pass = {0, 16 * 1000 * 1000};
        nanosleep(&pass, nullptr);
    }
}
END_OF_MAIN()
