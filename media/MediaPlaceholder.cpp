// Placeholder until the players land.
