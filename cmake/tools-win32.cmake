# Helper programs for the demo game folder, the end-to-end tests and the
# start-up benchmark. Small C programs, static like the launcher, so that
# they run in any Wine prefix without MinGW DLLs.

# The demo folder's stand-in game (GUI subsystem: no console window).
add_executable(demo_game WIN32 tools/demo/demo_game.c)
set_target_properties(demo_game PROPERTIES OUTPUT_NAME DemoGame)

# A new launcher that shows nothing and ends, at once or after a chosen
# wait, with a chosen code.
add_executable(quick_exit WIN32 tools/demo/quick_exit.c)

# Holds a named event, as any other program could; console program.
add_executable(hold_event tools/demo/hold_event.c)

# Prints what the message boxes on the screen say; console program.
add_executable(box_text tools/demo/box_text.c)

# Posts WM_CLOSE (or another message) to the Launch window; console program.
add_executable(post_message tools/demo/post_message.c)

# Follows a screen pixel over time (the slideshow's fades); console program.
add_executable(pixel_sampler tools/demo/pixel_sampler.c)

# Trusts the tests' certificate authority in the Wine prefix; console program.
add_executable(trust_root tools/demo/trust_root.c)
target_link_libraries(trust_root PRIVATE crypt32)

# The benchmark's baseline window.
add_executable(minimal_window WIN32 bench/minimal_window.c)
# It shares the demo game's window code (tools/demo/bare_window.h).
target_include_directories(minimal_window PRIVATE ${PROJECT_SOURCE_DIR})

foreach(tool demo_game quick_exit hold_event box_text post_message pixel_sampler
             trust_root minimal_window)
  target_link_options(${tool} PRIVATE -s)
endforeach()

add_custom_target(harness_tools DEPENDS demo_game quick_exit hold_event box_text
                  post_message pixel_sampler trust_root minimal_window)
