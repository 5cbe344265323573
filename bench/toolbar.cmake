orvane_add_benchmark(toolbar LIBS orvane_app)
