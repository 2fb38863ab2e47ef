"""The Skyvane relay server: the weather service's addresses answered from a
weather source (simulated, or real forecasts from a public API)."""
