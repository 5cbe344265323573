orvane_add_benchmark(bridge LIBS orvane_app)
