orvane_add_benchmark(talent LIBS orvane_output)
