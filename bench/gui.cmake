# The GUI benchmark (included by bench/CMakeLists.txt when NORVA_GUI is on).
if(TARGET norva_gui)
  add_executable(gui_append_bench ${CMAKE_CURRENT_LIST_DIR}/gui_append_bench.cpp)
  target_link_libraries(gui_append_bench PRIVATE norva_gui)
endif()
