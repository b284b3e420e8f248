# The fuzz targets: each is fuzz/<name>.cpp with the libraries it exercises. Seeds live in
# fuzz/corpus/<name>, inputs that once failed in fuzz/regressions/<name>.
set(FUZZ_TARGETS modbus_reply encoders)
set(FUZZ_LIBS_modbus_reply test_support)
set(FUZZ_LIBS_encoders alarmcfg_model)
