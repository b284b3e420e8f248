# The fuzz targets: each is fuzz/<name>.cpp with the libraries it exercises. Seeds live in
# fuzz/corpus/<name>, inputs that once failed in fuzz/regressions/<name>.
set(FUZZ_TARGETS modbus_reply modbus_frame encoders readback_decoding telnet_com_port)
set(FUZZ_LIBS_modbus_reply test_support)
set(FUZZ_LIBS_modbus_frame modbus)
# The frame layer is internal to the component.
set(FUZZ_INCLUDES_modbus_frame ${PROJECT_SOURCE_DIR}/modbus/src)
set(FUZZ_LIBS_encoders alarmcfg_model)
set(FUZZ_LIBS_readback_decoding alarmcfg_ui test_support)
set(FUZZ_LIBS_telnet_com_port modbus)
set(FUZZ_INCLUDES_telnet_com_port ${PROJECT_SOURCE_DIR}/modbus/src)
