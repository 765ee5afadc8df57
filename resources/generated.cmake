# The skin folder is drawn by the build: qv-skingen (tools/skingen/) writes
# every image of build/bin/Skin/ and the program icon.
set(QV_SKIN_FILES
    Application.ico main_bk.jpg main_left_bk.jpg
    bt_menu_search_normal.bmp bt_menu_search_down.bmp
    bt_menu_wireless_normal.bmp bt_menu_wireless_down.bmp
    min_normal.bmp close_normal.bmp btn_search.bmp
    btn_update_normal.bmp btn_update_down.bmp line.bmp btn_pie.bmp btn_pie2.bmp
    wait_search.gif close_config.bmp btn_config.bmp config_btn.bmp orange_line.bmp)
set(QV_SKIN_OUTPUTS "")
foreach(_file IN LISTS QV_SKIN_FILES)
    list(APPEND QV_SKIN_OUTPUTS "${QV_BIN_DIR}/Skin/${_file}")
endforeach()
add_custom_command(
    OUTPUT ${QV_SKIN_OUTPUTS}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:qv-skingen>
            "${QV_BIN_DIR}/Skin"
    DEPENDS qv-skingen
    COMMENT "Drawing the skin images"
    VERBATIM)
add_custom_target(qv_skin ALL DEPENDS ${QV_SKIN_OUTPUTS})
