orvane_add_benchmark(open LIBS orvane_textview)
