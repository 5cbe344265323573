orvane_add_benchmark(rtf LIBS orvane_text)
