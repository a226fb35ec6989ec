"""pykorvan: KORVAN results and runs in Python."""
