orvane_add_fuzzer(rtf_fuzzer LIBS orvane_text)
orvane_add_fuzzer(rtfd_fuzzer LIBS orvane_text)
