orvane_add_benchmark(launch LIBS orvane_app)
