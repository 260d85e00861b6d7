#!/bin/sh
echo "Hello from an add-on."
