// placeholder until the simulated board lands
